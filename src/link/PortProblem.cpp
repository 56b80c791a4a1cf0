#include "link/PortProblem.h"

#include <dirent.h>
#include <grp.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>

namespace apdesk::cli {
namespace {

bool IsNumber(const char* s) {
  if (*s == '\0') return false;
  for (; *s != '\0'; ++s) {
    if (*s < '0' || *s > '9') return false;
  }
  return true;
}

// The first other process with the device open, as "process N (name)"; the
// processes of other users are seen only by root.
std::string Holder(const struct stat& device) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return {};
  const std::string self = std::to_string(getpid());
  std::string found;
  while (const dirent* p = readdir(proc)) {
    if (!IsNumber(p->d_name) || p->d_name == self) continue;
    const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
    DIR* fds = opendir(fdDir.c_str());
    if (fds == nullptr) continue;
    while (const dirent* f = readdir(fds)) {
      struct stat st {};
      if (!IsNumber(f->d_name) || stat((fdDir + "/" + f->d_name).c_str(), &st) != 0) continue;
      if (S_ISCHR(st.st_mode) && st.st_rdev == device.st_rdev) {
        std::string name;
        std::getline(std::ifstream(std::string("/proc/") + p->d_name + "/comm"), name);
        found = std::string("process ") + p->d_name + (name.empty() ? "" : " (" + name + ")");
        break;
      }
    }
    closedir(fds);
    if (!found.empty()) break;
  }
  closedir(proc);
  return found;
}

}  // namespace

PortNodeKind ClassifyPortNode(const std::string& root, bool isChar, unsigned long long rdev) {
  if (!isChar) return PortNodeKind::NotDevice;
  const unsigned maj = major(static_cast<dev_t>(rdev)), min = minor(static_cast<dev_t>(rdev));
  // Unix 98 pseudo-terminal slaves have majors 136 to 143.
  if (maj >= 136 && maj <= 143) return PortNodeKind::PseudoTerminal;
  const std::string node = root + "/sys/dev/char/" + std::to_string(maj) + ":" + std::to_string(min);
  char resolved[PATH_MAX];
  if (::realpath(node.c_str(), resolved) == nullptr) return PortNodeKind::NotTerminal;
  const std::string where = resolved;
  if (where.find("/tty/") == std::string::npos) return PortNodeKind::NotTerminal;
  struct stat st {};
  return ::stat((where + "/device").c_str(), &st) == 0 ? PortNodeKind::SerialDevice
                                                       : PortNodeKind::OtherTerminal;
}

std::string SerialPortProblem(const std::string& port) {
  const std::string path = port.find('/') == std::string::npos ? "/dev/" + port : port;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    return errno == ENOENT ? "no such port (" + path + " does not exist)" : std::strerror(errno);
  }
  const PortNodeKind kind = ClassifyPortNode("", S_ISCHR(st.st_mode), st.st_rdev);
  if (kind == PortNodeKind::NotDevice) return "it is not a serial port (" + path + " is no device)";
  if (kind == PortNodeKind::NotTerminal)
    return "it is not a serial port (" + path + " is no terminal device)";
  if (access(path.c_str(), R_OK | W_OK) != 0) {
    std::string text = "permission denied";
    if (const group* g = getgrgid(st.st_gid)) {
      text += std::string(" (the port belongs to the group ") + g->gr_name + ": add yourself to it)";
    }
    return text;
  }
  // Only a real serial device is held by one program at a time; the other
  // users of a pseudo-terminal or a console are no reason it cannot open.
  if (kind != PortNodeKind::SerialDevice) return {};
  const std::string holder = Holder(st);
  if (!holder.empty()) return "another program has it open: " + holder;
  return {};
}

}  // namespace apdesk::cli

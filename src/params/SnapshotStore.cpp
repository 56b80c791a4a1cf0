#include "params/SnapshotStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace apdesk {

namespace {

constexpr const char* kSuffix = ".params";
constexpr const char* kDefaultsName = "controller-defaults";

bool MakeFolders(const std::string& folder, std::string* error) {
  // Each level in turn, as mkdir -p.
  for (std::size_t at = 1; at <= folder.size(); ++at) {
    if (at != folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = "the parameter history folder " + folder + " cannot be made: " + std::strerror(errno);
      return false;
    }
  }
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    *error = "the parameter history folder " + folder + " is not a folder";
    return false;
  }
  return true;
}

// A name safe in a file name: letters, digits and '-'.
std::string FileWord(const std::string& text) {
  std::string out;
  for (char c : text) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
  return out.empty() ? "write" : out;
}

bool ReadSmallFile(const std::string& path, std::string* text) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  *text = s.str();
  return text->size() < 64 * 1024;
}

}  // namespace

std::string UtcTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  const std::string temp = path + ".part";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      close(fd);
      unlink(temp.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

std::string SnapshotStore::DefaultFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/apdesk/parameters/";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/apdesk/parameters/";
  return {};
}

SnapshotStore::SnapshotStore(std::string folder) : m_folder(std::move(folder)) {
  if (!m_folder.empty() && m_folder.back() != '/') m_folder += '/';
}

bool SnapshotStore::Store(const Parameters& p, FileNotes notes, std::string* path, std::string* error) const {
  if (m_folder.empty()) {
    *error = "there is no folder for the parameter history (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  if (!MakeFolders(m_folder.substr(0, m_folder.size() - 1), error)) return false;
  if (notes.time.empty()) notes.time = UtcTimeNow();
  // The time to the millisecond sorts the names; a number keeps two in the
  // same millisecond apart.
  const auto now = std::chrono::system_clock::now();
  const long long ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::string stamp = notes.time;
  stamp.erase(std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }),
              stamp.end());
  if (!stamp.empty() && stamp.back() == 'Z') stamp.pop_back();
  char msText[8];
  std::snprintf(msText, sizeof msText, "%03lld", ms);
  const std::string base = stamp + "." + msText + "-" + FileWord(notes.write);
  std::string candidate = m_folder + base + kSuffix;
  for (int n = 2; access(candidate.c_str(), F_OK) == 0 && n < 1000; ++n)
    candidate = m_folder + base + "-" + std::to_string(n) + kSuffix;
  if (!WriteFileAtomically(candidate, FormatParameterFile(p, notes), error)) {
    *error = "the snapshot cannot be stored: " + *error;
    return false;
  }
  if (path) *path = candidate;
  return true;
}

std::vector<SnapshotEntry> SnapshotStore::List() const {
  std::vector<SnapshotEntry> out;
  DIR* dir = m_folder.empty() ? nullptr : opendir(m_folder.c_str());
  if (!dir) return out;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    const std::size_t suffix = std::strlen(kSuffix);
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, kSuffix) != 0) continue;
    if (name.rfind(kDefaultsName, 0) == 0) continue;
    SnapshotEntry entry{m_folder + name, name, {}};
    std::string text, error;
    ParameterFile file;
    if (!ReadSmallFile(entry.path, &text) || !ParseParameterFile(text, &file, &error)) continue;
    entry.notes = file.notes;
    out.push_back(std::move(entry));
  }
  closedir(dir);
  // The names begin with the time, so the newest sorts last.
  std::sort(out.begin(), out.end(),
            [](const SnapshotEntry& a, const SnapshotEntry& b) { return a.name > b.name; });
  return out;
}

bool SnapshotStore::Find(const std::string& name, SnapshotEntry* entry, std::string* error) const {
  for (SnapshotEntry& e : List()) {
    if (e.name == name || e.path == name || e.name == name + kSuffix) {
      *entry = std::move(e);
      return true;
    }
  }
  *error = "there is no snapshot \"" + QuotedInput(name) + "\" in " + m_folder +
           " (apctl params history lists them)";
  return false;
}

std::string SnapshotStore::DefaultsPath() const {
  return m_folder + kDefaultsName + kSuffix;
}

bool SnapshotStore::StoreDefaults(const Parameters& p, std::string* error) const {
  if (m_folder.empty()) {
    *error = "there is no folder for the parameter history (neither XDG_DATA_HOME nor HOME is set)";
    return false;
  }
  if (!MakeFolders(m_folder.substr(0, m_folder.size() - 1), error)) return false;
  FileNotes notes;
  notes.time = UtcTimeNow();
  notes.write = "the controller's defaults";
  return WriteFileAtomically(DefaultsPath(), FormatParameterFile(p, notes), error);
}

}  // namespace apdesk

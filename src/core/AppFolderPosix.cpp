// The application folder on Linux: the XDG base-directory rules.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "AppFolderSystem.h"

namespace apdesk::appfolder {

bool IsFolder(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsWritableFolder(const std::string& folder) {
  const std::string p = folder.empty() ? std::string(".") : folder;
  return IsFolder(p) && ::access(p.c_str(), W_OK | X_OK) == 0;
}

bool MakeFolders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i != folder.size() && folder[i] != '/') continue;
    const std::string part = folder.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsFolder(folder);
}

std::string CurrentFolder() {
  char here[4096];
  if (::getcwd(here, sizeof here) == nullptr) return {};
  return here;
}

std::string UserBaseFolder(UserKind kind) {
  // $XDG_CONFIG_HOME or $XDG_DATA_HOME, else ~/.config or ~/.local/share.
  // Relative values of the variable are to be ignored, as the base-directory
  // rules say.
  const bool config = kind == UserKind::Config;
  std::string base;
  const char* xdg = std::getenv(config ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
      const passwd* pw = ::getpwuid(::getuid());
      home = (pw != nullptr) ? pw->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/') return {};
    base = home;
    while (!base.empty() && base.back() == '/') base.pop_back();
    base += config ? "/.config" : "/.local/share";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}

}  // namespace apdesk::appfolder

#include "app/AppFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace apdesk {
namespace {

constexpr const char* kSettingsFile = "MPCFG.ini";

bool IsWritableFolder(const std::string& folder) {
  const std::string p = folder.empty() ? std::string(".") : folder;
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return ::access(p.c_str(), W_OK | X_OK) == 0;
}

bool IsFolder(const std::string& folder) {
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p; true when the folder exists afterwards.
bool MakeFolders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i != folder.size() && folder[i] != '/') continue;
    const std::string part = folder.substr(0, i);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string AppFolderFromExecutablePath(std::string_view exePath) {
  const std::size_t slash = exePath.rfind('/');
  if (slash == std::string_view::npos) return "./";
  return std::string(exePath.substr(0, slash + 1));
}

std::string LanguageFolderFor(const std::string& appFolder) {
  const std::string beside = appFolder + "Language/";
  if (IsFolder(beside)) return beside;
  const std::string installed = appFolder + "../share/apdesk/Language/";
  if (IsFolder(installed)) return installed;
  return beside;
}

namespace {

// $VARIABLE/apdesk, or ~UNDER_HOME/apdesk; created. Empty without a home.
// Relative values of the variable are to be ignored, as the base-directory
// rules say.
std::string XdgAppFolder(const char* variable, const char* underHome) {
  std::string base;
  const char* xdg = std::getenv(variable);
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
    base += underHome;
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string folder = base + "/apdesk";
  MakeFolders(folder);
  return folder + "/";
}

// $XDG_DATA_HOME/apdesk, or ~/.local/share/apdesk.
std::string UserDataFolder() {
  return XdgAppFolder("XDG_DATA_HOME", "/.local/share");
}

bool IsInstalled(const std::string& appFolder) {
  return LanguageFolderFor(appFolder) != appFolder + "Language/";
}

}  // namespace

std::string ResolveRecordBase(const std::string& appFolder) {
  if (IsInstalled(appFolder)) {
    const std::string folder = UserDataFolder();
    if (!folder.empty()) return folder;
  }
  char here[4096];
  if (::getcwd(here, sizeof here) == nullptr) return {};
  std::string folder = here;
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string UserConfigFolder() {
  return XdgAppFolder("XDG_CONFIG_HOME", "/.config");
}

std::string ResolveSettingsPath(const std::string& appFolder) {
  // An installed program (its language files under ../share, none beside it)
  // keeps its settings in the user's folder even when it could write its own
  // folder, as root can write /usr/bin.
  const bool installed = IsInstalled(appFolder);
  if (!installed && IsWritableFolder(appFolder)) return appFolder + kSettingsFile;
  const std::string folder = UserConfigFolder();
  // Nowhere to write: keep the application folder, whose file may still be read.
  if (folder.empty()) return appFolder + kSettingsFile;
  return folder + kSettingsFile;
}

}  // namespace apdesk

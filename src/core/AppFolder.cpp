#include "core/AppFolder.h"

#include "AppFolderSystem.h"

namespace apdesk {
namespace {

constexpr const char* kSettingsFile = "MPCFG.ini";

using appfolder::IsFolder;
using appfolder::IsWritableFolder;

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

// The user's folder of that kind for this program, created; empty without
// a home folder.
std::string UserFolder(appfolder::UserKind kind) {
  const std::string base = appfolder::UserBaseFolder(kind);
  if (base.empty()) return {};
  std::string folder = base + "/apdesk";
  appfolder::MakeFolders(folder);
  return folder + "/";
}

bool IsInstalled(const std::string& appFolder) {
  return LanguageFolderFor(appFolder) != appFolder + "Language/";
}

}  // namespace

std::string ResolveRecordBase(const std::string& appFolder) {
  if (IsInstalled(appFolder)) {
    const std::string folder = UserFolder(appfolder::UserKind::Data);
    if (!folder.empty()) return folder;
  }
  std::string folder = appfolder::CurrentFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string UserConfigFolder() {
  return UserFolder(appfolder::UserKind::Config);
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

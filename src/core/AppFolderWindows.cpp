// The application folder on Windows: settings under %APPDATA%, data under
// %LOCALAPPDATA%, as Windows programs keep them.
#include <direct.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "AppFolderSystem.h"

namespace apdesk::appfolder {

bool IsFolder(const std::string& folder) {
  struct _stat st {};
  return ::_stat(folder.c_str(), &st) == 0 && (st.st_mode & _S_IFDIR) != 0;
}

bool IsWritableFolder(const std::string& folder) {
  const std::string p = folder.empty() ? std::string(".") : folder;
  return IsFolder(p) && ::_access(p.c_str(), 2) == 0;
}

bool MakeFolders(const std::string& folder) {
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i != folder.size() && folder[i] != '/' && folder[i] != '\\') continue;
    const std::string part = folder.substr(0, i);
    if (part.size() == 2 && part[1] == ':') continue;  // a drive, "C:"
    if (::_mkdir(part.c_str()) != 0 && errno != EEXIST) return false;
  }
  return IsFolder(folder);
}

std::string CurrentFolder() {
  char here[4096];
  if (::_getcwd(here, sizeof here) == nullptr) return {};
  return here;
}

std::string UserBaseFolder(UserKind kind) {
  const char* base = std::getenv(kind == UserKind::Config ? "APPDATA" : "LOCALAPPDATA");
  if (base == nullptr || base[0] == '\0') base = std::getenv("APPDATA");
  if (base == nullptr || base[0] == '\0') return {};
  std::string folder = base;
  while (folder.size() > 3 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

}  // namespace apdesk::appfolder

#pragma once
// What the application folder needs of the operating system; one
// implementation per platform (AppFolderPosix.cpp, AppFolderWindows.cpp).

#include <string>

namespace apdesk::appfolder {

bool IsFolder(const std::string& folder);
// A folder this user may create files in ("" is the current folder).
bool IsWritableFolder(const std::string& folder);
// Each missing level in turn; true when the folder exists afterwards.
bool MakeFolders(const std::string& folder);
// The current folder as a whole path; empty when it cannot be told.
std::string CurrentFolder();

enum class UserKind { Config, Data };
// The user's folder of settings or of data, without a trailing '/'; empty
// when no home folder can be found.
std::string UserBaseFolder(UserKind kind);

}  // namespace apdesk::appfolder

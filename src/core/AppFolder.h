#pragma once
// Where the program keeps its files: the folder of the executable, and the
// settings file "MPCFG.ini" beside it when that folder can be written.

#include <string>
#include <string_view>

namespace apdesk {

// Up to and including the last '/', or "./" when the path has none.
std::string AppFolderFromExecutablePath(std::string_view exePath);

// appFolder + "MPCFG.ini" when appFolder is a writable folder (a build tree,
// a portable folder). An installed program's folder is not, or must not be
// written (root can write /usr/bin), so for an installed layout (language
// files under ../share/apdesk) or an unwritable folder the file lives in
// $XDG_CONFIG_HOME/apdesk/ (default ~/.config/apdesk/), created when missing.
std::string ResolveSettingsPath(const std::string& appFolder);

// The folder of the language files, with its trailing '/': "Language/" in
// appFolder when it is there (build tree, portable folder), else the
// installed "../share/apdesk/Language/" beside appFolder's bin/. When neither
// exists the first is kept, so that a message names where the files belong.
std::string LanguageFolderFor(const std::string& appFolder);

// The folder that holds "Hj", the flight records, with a trailing '/'. An
// installed program keeps them in $XDG_DATA_HOME/apdesk/ (default
// ~/.local/share/apdesk/, created here), as it keeps its settings in the
// user's folder; one run from its build or portable folder keeps them in the
// current folder, given as a whole path. Empty (the current folder) when
// neither can be found.
std::string ResolveRecordBase(const std::string& appFolder);

// The folder used when the application folder is not writable, with a
// trailing '/'; created here. Empty when no home folder can be found.
std::string UserConfigFolder();

}  // namespace apdesk

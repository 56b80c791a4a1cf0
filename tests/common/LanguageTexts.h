#pragma once
// The windows' text service as the application hands it over: the language
// file of the program in `appFolder` (with its trailing '/'), read once.

#include <QCoreApplication>
#include <string>

#include "core/AppFolder.h"
#include "localisation/CLanguageManager.h"

namespace testsupport {

inline CLanguageManager LoadedTexts(const std::string& appFolder, bool chinese) {
  CLanguageManager texts(apdesk::LanguageFolderFor(appFolder), chinese);
  texts.Load();
  return texts;
}

// The texts of the test program's own folder in the process's language, as
// the program would choose them.
inline CLanguageManager ProgramTexts() {
  return LoadedTexts((QCoreApplication::applicationDirPath() + "/").toStdString(), ProcessLocaleIsChinese());
}

}  // namespace testsupport

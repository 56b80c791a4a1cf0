#pragma once
// The windows' one text service: chooses the language file, reads it once
// and answers every window: "LID_" texts, control texts by section and id.
// Whatever is missing (file, section, key) yields the built-in text, or no
// text when there is none. Built by whoever knows where the program lives
// (the application object); the windows are handed it.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "localisation/LanguageFile.h"

class QWidget;

class CLanguageManager {
 public:
  struct ControlText {
    int controlId;
    std::string text;
  };
  struct KeyText {
    std::string key;
    std::string text;
  };

  // `languageFolder` holds Default.ini and Chinese.ini (with its trailing
  // '/'); Chinese.ini is chosen for a Chinese locale when it is there.
  CLanguageManager(std::string languageFolder, bool chineseLocale);

  // Reads the chosen file (again, after the language changed): its public
  // texts, and the window sections for the windows. Nonzero when it opened.
  int Load();
  bool Loaded() const { return m_book.IsRead(); }

  // The window section's texts by control id, in file order.
  std::vector<ControlText> WindowTexts(std::string_view section) const;
  // Every direct child widget (in creation order) that has a "controlId"
  // property takes the text of its id in `section`; child windows are not
  // controls.
  void ApplyToWindow(QWidget* window, std::string_view section) const;
  bool ApplyToControl(QWidget* control, std::string_view section, int id) const;

  // The "LID_" text for display; `builtIn` (UTF-8) when the file has none.
  QString Text(std::string_view key, const char* builtIn = "") const;
  // The text of control `id` in `section` for display; else `builtIn`.
  QString WindowText(std::string_view section, int id, const char* builtIn) const;

  // The raw bytes of the file; empty when the key is missing.
  std::string GetPublicText(std::string_view key) const;
  // The same text decoded for display.
  QString PublicTextForDisplay(std::string_view key) const { return Text(key); }
  // Bytes of this service's file (or built from its texts) decoded for display.
  QString TextForDisplay(std::string_view bytes) const;

  const std::string& LanguageFolder() const { return m_languageFolder; }

  // Read by the windows.
  int m_isChinese = 0;
  int m_fileChosen = 0;
  std::string m_fileName;
  std::vector<KeyText> m_publicTexts;

 private:
  void ChooseFile(bool chineseLocale);
  bool IsChineseFile() const { return m_fileName == "Chinese.ini"; }

  std::string m_languageFolder;
  apdesk::LanguageBook m_book;
};

// Chinese when the process locale is Chinese (PRC): the environment decides
// when it names a locale, else the system's locale.
bool ProcessLocaleIsChinese();

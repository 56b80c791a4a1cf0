#pragma once
// One per localised window: chooses the language file, reads its sections
// into lists, sets control texts by control id and answers "LID_" look-ups.
// Whatever is missing (file, section, key) simply yields no text.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

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

  // The application folder of CConfigApp (or of the running executable),
  // and Chinese when the process locale is Chinese (PRC).
  CLanguageManager();
  // For tests and tools: an explicit folder (with its trailing '/') and locale.
  CLanguageManager(std::string appFolder, bool chineseLocale);

  int LoadPublicTexts();
  int LoadWindowTexts(std::string_view section);
  // Appends the section's keys and values in file order. Nonzero when the file opened.
  int ReadSection(std::string_view section, std::vector<std::string>& keys, std::vector<std::string>& values);

  // Every direct child widget (in creation order) that has a "controlId"
  // property takes the text of its id; child windows are not controls.
  void ApplyToWindow(QWidget* window);
  bool ApplyToControl(QWidget* control, int id);

  // The raw bytes of the file; empty when the key is missing.
  std::string GetPublicText(std::string_view key) const;
  // The same text decoded for display.
  QString PublicTextForDisplay(std::string_view key) const;
  // Bytes of this manager's file (or built from its texts) decoded for display.
  QString TextForDisplay(std::string_view bytes) const;

  // One of the links' built-in failure texts ("内存不足!", "读访问打开设备失败!",
  // the two serial-port failures) in this manager's language: the file's text
  // under the failure's key, or the built-in text when the file has none.
  QString LinkFailureText(const std::string& builtInUtf8) const;

  const std::string& LanguageFolder() const { return m_languageFolder; }

  // Fields read directly by the owning windows.
  int m_isChinese = 0;
  int m_fileChosen = 0;
  std::string m_fileName;
  std::vector<ControlText> m_controlTexts;
  std::vector<KeyText> m_publicTexts;

 private:
  void ChooseFile(bool chineseLocale);
  bool IsChineseFile() const { return m_fileName == "Chinese.ini"; }

  std::string m_languageFolder;  // apdesk::LanguageFolderFor(application folder)
};

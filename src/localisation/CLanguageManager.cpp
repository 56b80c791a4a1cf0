#include "localisation/CLanguageManager.h"

#include <sys/stat.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>
#include <cstdlib>

#include "application/CConfigApp.h"
#include "core/AppFolder.h"
#include "link/CommUart.h"
#include "link/HidLink.h"
#include "localisation/LanguageFile.h"
#include "localisation/LanguageText.h"

namespace {

std::string CurrentAppFolder() {
  if (const CConfigApp* app = CConfigApp::Instance()) return app->AppFolder();
  const QByteArray exe = QCoreApplication::applicationFilePath().toLocal8Bit();
  return apdesk::AppFolderFromExecutablePath(
      std::string_view(exe.constData(), static_cast<std::size_t>(exe.size())));
}

bool ProcessLocaleIsChinese() {
  // The environment decides when it names a locale; QLocale covers platforms
  // (and sessions) that keep the locale elsewhere.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && v[0] != '\0') return apdesk::IsChineseLocaleFromEnv();
  }
  const QLocale system = QLocale::system();
  return system.language() == QLocale::Chinese && system.territory() == QLocale::China;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

CLanguageManager::CLanguageManager() : m_languageFolder(apdesk::LanguageFolderFor(CurrentAppFolder())) {
  ChooseFile(ProcessLocaleIsChinese());
}

CLanguageManager::CLanguageManager(std::string appFolder, bool chineseLocale)
    : m_languageFolder(apdesk::LanguageFolderFor(appFolder)) {
  ChooseFile(chineseLocale);
}

void CLanguageManager::ChooseFile(bool chineseLocale) {
  m_fileChosen = 0;
  m_fileName = "Default.ini";
  if (chineseLocale) {
    m_isChinese = 1;
    m_fileName = "Chinese.ini";
    if (FileExists(m_languageFolder + "Chinese.ini")) m_fileChosen = 1;
    if (m_fileChosen == 0) {
      m_fileName = "Default.ini";
      m_fileChosen = 1;
    }
  } else {
    m_fileName = "Default.ini";
    m_fileChosen = 1;
  }
}

int CLanguageManager::ReadSection(std::string_view section, std::vector<std::string>& keys,
                                  std::vector<std::string>& values) {
  apdesk::LanguageSection found;
  if (!apdesk::ReadLanguageSection(m_languageFolder + m_fileName, section, IsChineseFile(), found)) return 0;
  keys.insert(keys.end(), found.keys.begin(), found.keys.end());
  values.insert(values.end(), found.values.begin(), found.values.end());
  return 1;
}

int CLanguageManager::LoadPublicTexts() {
  std::vector<std::string> keys, values;
  const int result = ReadSection("public", keys, values);
  m_publicTexts.clear();
  for (std::size_t i = 0; i < keys.size(); ++i)
    m_publicTexts.push_back({std::move(keys[i]), std::move(values[i])});
  return result;
}

int CLanguageManager::LoadWindowTexts(std::string_view section) {
  std::vector<std::string> keys, values;
  const int result = ReadSection(section, keys, values);
  m_controlTexts.clear();
  for (std::size_t i = 0; i < keys.size(); ++i)
    m_controlTexts.push_back({apdesk::ControlIdFromKey(keys[i]), std::move(values[i])});
  return result;
}

void CLanguageManager::ApplyToWindow(QWidget* window) {
  if (window == nullptr) return;
  for (QObject* child : window->children()) {
    QWidget* w = qobject_cast<QWidget*>(child);
    if (w == nullptr || w->isWindow()) continue;
    const QVariant id = w->property("controlId");
    if (!id.isValid()) continue;
    ApplyToControl(w, id.toInt());
  }
}

bool CLanguageManager::ApplyToControl(QWidget* control, int id) {
  if (control == nullptr) return false;
  for (const ControlText& entry : m_controlTexts) {
    if (entry.controlId != id) continue;
    const QString text = TextForDisplay(entry.text);
    if (control->isWindow()) {
      control->setWindowTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      label->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      group->setTitle(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
      line->setText(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
      plain->setPlainText(text);
    } else if (auto* rich = qobject_cast<QTextEdit*>(control)) {
      rich->setPlainText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
      // Only a combo with an edit field has a text of its own.
      if (combo->isEditable()) combo->setEditText(text);
    } else {
      control->setWindowTitle(text);
    }
    return true;
  }
  return false;
}

std::string CLanguageManager::GetPublicText(std::string_view key) const {
  for (const KeyText& entry : m_publicTexts)
    if (entry.key == key) return entry.text;
  return {};
}

QString CLanguageManager::PublicTextForDisplay(std::string_view key) const {
  return TextForDisplay(GetPublicText(key));
}

QString CLanguageManager::TextForDisplay(std::string_view bytes) const {
  const std::string utf8 = apdesk::DecodeLanguageText(bytes, IsChineseFile());
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString CLanguageManager::LinkFailureText(const std::string& builtInUtf8) const {
  static constexpr struct {
    const char* builtIn;
    const char* key;
  } kFailures[] = {
      {apdesk::kHidOutOfMemoryText, "LID_PUB_HID_NOMEMORY"},
      {apdesk::kHidOpenFailedText, "LID_PUB_HID_OPENFAILED"},
      {apdesk::kUartReadFailedText, "LID_PUB_UART_READFAILED"},
      {apdesk::kUartWriteFailedText, "LID_PUB_UART_WRITEFAILED"},
  };
  for (const auto& f : kFailures) {
    if (builtInUtf8 != f.builtIn) continue;
    const QString text = PublicTextForDisplay(f.key);
    if (!text.isEmpty()) return text;
  }
  return QString::fromStdString(builtInUtf8);
}

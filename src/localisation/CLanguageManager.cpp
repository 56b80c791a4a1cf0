#include "localisation/CLanguageManager.h"

#include <sys/stat.h>

#include <QLocale>
#include <QVariant>
#include <QWidget>
#include <cstdlib>

#include "localisation/LanguageText.h"
#include "ui/DialogBuilder.h"

namespace {

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

bool ProcessLocaleIsChinese() {
  // QLocale covers platforms (and sessions) that keep the locale elsewhere.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && v[0] != '\0') return apdesk::IsChineseLocaleFromEnv();
  }
  const QLocale system = QLocale::system();
  return system.language() == QLocale::Chinese && system.territory() == QLocale::China;
}

CLanguageManager::CLanguageManager(std::string languageFolder, bool chineseLocale)
    : m_languageFolder(std::move(languageFolder)) {
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

int CLanguageManager::Load() {
  m_publicTexts.clear();
  if (!m_book.Read(m_languageFolder + m_fileName, IsChineseFile())) return 0;
  apdesk::LanguageSection found;
  m_book.Section("public", found);
  for (std::size_t i = 0; i < found.keys.size(); ++i)
    m_publicTexts.push_back({std::move(found.keys[i]), std::move(found.values[i])});
  return 1;
}

std::vector<CLanguageManager::ControlText> CLanguageManager::WindowTexts(std::string_view section) const {
  apdesk::LanguageSection found;
  m_book.Section(section, found);
  std::vector<ControlText> texts;
  for (std::size_t i = 0; i < found.keys.size(); ++i)
    texts.push_back({apdesk::ControlIdFromKey(found.keys[i]), std::move(found.values[i])});
  return texts;
}

void CLanguageManager::ApplyToWindow(QWidget* window, std::string_view section) const {
  if (window == nullptr) return;
  const std::vector<ControlText> texts = WindowTexts(section);
  for (QObject* child : window->children()) {
    QWidget* w = qobject_cast<QWidget*>(child);
    if (w == nullptr || w->isWindow()) continue;
    const QVariant id = w->property("controlId");
    if (!id.isValid()) continue;
    for (const ControlText& entry : texts) {
      if (entry.controlId != id.toInt()) continue;
      apdesk::SetControlText(w, TextForDisplay(entry.text));
      break;
    }
  }
}

bool CLanguageManager::ApplyToControl(QWidget* control, std::string_view section, int id) const {
  if (control == nullptr) return false;
  for (const ControlText& entry : WindowTexts(section)) {
    if (entry.controlId != id) continue;
    apdesk::SetControlText(control, TextForDisplay(entry.text));
    return true;
  }
  return false;
}

QString CLanguageManager::Text(std::string_view key, const char* builtIn) const {
  const QString text = TextForDisplay(GetPublicText(key));
  return text.isEmpty() ? QString::fromUtf8(builtIn) : text;
}

QString CLanguageManager::WindowText(std::string_view section, int id, const char* builtIn) const {
  for (const ControlText& entry : WindowTexts(section))
    if (entry.controlId == id) return TextForDisplay(entry.text);
  return QString::fromUtf8(builtIn);
}

std::string CLanguageManager::GetPublicText(std::string_view key) const {
  for (const KeyText& entry : m_publicTexts)
    if (entry.key == key) return entry.text;
  return {};
}

QString CLanguageManager::TextForDisplay(std::string_view bytes) const {
  const std::string utf8 = apdesk::DecodeLanguageText(bytes, IsChineseFile());
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

#include "application/CConfigApp.h"

#include "core/AppFolder.h"
#include "ui/MessageBoxes.h"

namespace {
CConfigApp* g_app = nullptr;
}  // namespace

QString ApplicationTitleFromPath(const std::string& executablePath) {
  const std::size_t slash = executablePath.find_last_of("/\\");
  std::string name = slash == std::string::npos ? executablePath : executablePath.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size()));
}

CConfigApp::CConfigApp(const std::string& executablePath, std::unique_ptr<apdesk::IHidBackend> hidBackend)
    : m_appFolder(apdesk::AppFolderFromExecutablePath(executablePath)),
      m_title(ApplicationTitleFromPath(executablePath)),
      m_settings(apdesk::ResolveSettingsPath(m_appFolder)),
      m_texts(apdesk::LanguageFolderFor(m_appFolder), ProcessLocaleIsChinese()),
      m_session(std::move(hidBackend)) {
  // Read once here; every window is handed these texts.
  m_texts.Load();
  g_app = this;
  apdesk::MessageBoxes::SetDefaultCaption(m_title);
  m_settings.SetProblemReporter([](const std::string& text) {
    apdesk::MessageBoxes::Show(nullptr, QString::fromStdString(text), apdesk::BoxIcon::Warning);
  });
}

CConfigApp::~CConfigApp() {
  if (g_app == this) {
    g_app = nullptr;
    apdesk::MessageBoxes::SetDefaultCaption({});
  }
}

CConfigApp* CConfigApp::Instance() {
  return g_app;
}

// A transport's failure in the window's language: the file's text under the
// failure's key, or the built-in text when the file has none.
QString LinkFailureText(const CLanguageManager& texts, apdesk::TransportFailure why, bool serial) {
  const apdesk::FailureWords words = apdesk::WordsFor(why, serial);
  return words.key != nullptr ? texts.Text(words.key, words.builtIn) : QString();
}

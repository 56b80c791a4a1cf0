#include "application/CConfigApp.h"

#include "core/AppFolder.h"
#include "link/HidLink.h"
#include "link/Transport.h"
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

// One of the links' built-in failure texts ("内存不足!", "读访问打开设备失败!",
// the two serial-port failures) in the window's language: the file's text
// under the failure's key, or the built-in text when the file has none.
QString LinkFailureText(const CLanguageManager& texts, const std::string& builtInUtf8) {
  static constexpr struct {
    const char* builtIn;
    const char* key;
  } kFailures[] = {
      {apdesk::kHidOutOfMemoryText, "LID_PUB_HID_NOMEMORY"},
      {apdesk::kHidOpenFailedText, "LID_PUB_HID_OPENFAILED"},
      {apdesk::kUartReadFailedText, "LID_PUB_UART_READFAILED"},
      {apdesk::kUartWriteFailedText, "LID_PUB_UART_WRITEFAILED"},
  };
  for (const auto& f : kFailures)
    if (builtInUtf8 == f.builtIn) return texts.Text(f.key, f.builtIn);
  return QString::fromStdString(builtInUtf8);
}

#include "upgrade/CUpgradeDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimerEvent>
#include <algorithm>
#include <cstring>

#include "link/ControllerSession.h"
#include "link/HidLink.h"

namespace {

constexpr int kInfoText = 1033;
constexpr int kPathLabel = 1021;
constexpr int kChooseButton = 1008;
constexpr int kStatusLabel = 1032;
constexpr int kProgressBar = 1022;
constexpr int kUpgradeButton = 1018;
constexpr int kCloseButton = 1019;

}  // namespace

CUpgradeDlg::CUpgradeDlg(const CLanguageManager& texts, QWidget* parent)
    : CKeyFilterDialog(parent), m_language(texts) {
  m_statusText = QString::fromLatin1(m_exchange.Status());
  m_statusKey = m_exchange.Status();
  m_requestQuit = [] {
    // Posted, not called: the modal loop of the main window ends when it
    // next looks at its events, after this handler has returned.
    if (QCoreApplication* app = QCoreApplication::instance()) {
      QCoreApplication::postEvent(app, new QEvent(QEvent::Quit));
    }
  };
}

CUpgradeDlg::~CUpgradeDlg() = default;

void CUpgradeDlg::SetLink(CHidLink* link) {
  if (link == nullptr) {
    m_replySink = nullptr;
    m_closeDevice = nullptr;
    return;
  }
  m_replySink = [link](const std::uint8_t* report) { link->WriteReport(report); };
  m_closeDevice = [link] { link->Close(); };
}

void CUpgradeDlg::Listen(apdesk::ControllerSession& session) {
  SetLink(&session.Usb());
  connect(&session, &apdesk::ControllerSession::UsbReport, this,
          [this](const std::uint8_t* report) { HandleReport(report); });
}

bool CUpgradeDlg::Create(QWidget* owner) {
  if (owner != parentWidget()) setParent(owner, windowFlags() | Qt::Dialog);
  if (!m_builder.Build(this, kTemplateId)) return false;
  // A caption without a close box: Close is the only way out.
  setWindowFlags((windowFlags() & ~(Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint)) |
                 Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  if (auto* choose = m_builder.ControlAs<QPushButton>(kChooseButton)) {
    connect(choose, &QPushButton::clicked, this, &CUpgradeDlg::OnChoose);
  }
  if (auto* close = m_builder.ControlAs<QPushButton>(kCloseButton)) {
    connect(close, &QPushButton::clicked, this, &CUpgradeDlg::OnClose);
  }
  // 1018 "Upgrade" stays without a command: the device drives the exchange.

  m_language.ApplyToWindow(this, "upgrade");
  if (m_language.m_fileChosen == 1) {
    setWindowTitle(m_language.PublicTextForDisplay("LID_PUB_UPGRADE_CAPTION"));
  }
  // The hint text breaks its lines itself; CR LF pairs are one break.
  if (QWidget* info = m_builder.Control(kInfoText)) {
    QString text = apdesk::ControlText(info);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    apdesk::SetControlText(info, text);
    m_infoText = text;
  }

  // "Ready" is the program's own text; a language file that gives the status
  // label a text has its own word for it, which the ticks then keep showing.
  const QString ready = apdesk::ControlText(m_builder.Control(kStatusLabel));
  m_readyText = ready.isEmpty() ? QString::fromLatin1(apdesk::kUpgradeStatusReady) : ready;
  if (std::strcmp(m_exchange.Status(), apdesk::kUpgradeStatusReady) == 0) m_statusText = m_readyText;

  m_timer.start(kTimerMs, this);
  hide();
  return true;
}

void CUpgradeDlg::UpdateStatusText() {
  const char* key = m_exchange.Status();
  if (key == m_statusKey) return;
  m_statusKey = key;
  // Every status but "Ready" is a look-up, made once when its step begins.
  m_statusText =
      std::strcmp(key, apdesk::kUpgradeStatusReady) == 0 ? m_readyText : m_language.PublicTextForDisplay(key);
}

void CUpgradeDlg::HandleReport(const std::uint8_t* report64) {
  const apdesk::UpgradeResult result = m_exchange.HandleReport(report64);
  if (result.showWindow && isHidden()) {
    SetCloseEndsProgram(true);
    show();
  }
  for (std::size_t i = 0; i < result.replyCount; ++i) {
    if (m_replySink) m_replySink(result.replies[i].data());
  }
  UpdateStatusText();
}

void CUpgradeDlg::ShowFromMenu() {
  if (isHidden()) SetCloseEndsProgram(false);
  show();
  raise();
  activateWindow();
}

void CUpgradeDlg::SetCloseEndsProgram(bool ends) {
  m_closeEndsProgram = ends;
  QWidget* info = m_builder.Control(kInfoText);
  if (info == nullptr) return;
  if (!ends) {
    apdesk::SetControlText(info, m_infoText);
    return;
  }
  // Told before it happens: the boot loader's window is the one whose Close
  // ends the program (and the flight record with it).
  QString note = m_language.PublicTextForDisplay("LID_PUB_UPGRADE_CLOSE_ENDS");
  if (note.isEmpty()) note = QStringLiteral("Close ends apdesk and its flight record.");
  apdesk::SetControlText(info, m_infoText.isEmpty() ? note : m_infoText + QStringLiteral("\n") + note);
}

void CUpgradeDlg::OnChoose() {
  QFileDialog dialog(this);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QStringLiteral("bin (*.bin)"));
  dialog.setDefaultSuffix(QStringLiteral("bin"));
  if (dialog.exec() != QDialog::Accepted) return;
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return;
  LoadImageFile(files.first());
}

bool CUpgradeDlg::LoadImageFile(const QString& path) {
  apdesk::SetControlText(m_builder.Control(kPathLabel), QDir::toNativeSeparators(path));
  const std::string file = QFile::encodeName(path).toStdString();
  std::string error;
  bool loaded = m_exchange.LoadImageFile(file, &error);
  if (loaded && (m_exchange.ImageSize() == 0 || m_exchange.ImageSize() >= apdesk::kUpgradeImageLimit)) {
    // An empty image would erase the controller's firmware and still end in
    // "complete"; one too large is never offered, and the window would wait
    // for ever without a word. Loading a path that names no file drops it.
    // The path is shown above; the status line has room for the reason only.
    error = m_exchange.ImageSize() == 0
                ? std::string("The file is empty: it holds no firmware.")
                : "The file is too large for the AP (" + std::to_string(m_exchange.ImageSize()) +
                      " bytes, at most " + std::to_string(apdesk::kUpgradeImageLimit - 1) + ").";
    m_exchange.LoadImageFile(std::string(), nullptr);
    loaded = false;
  }
  if (!loaded) {
    // Nothing was loaded: say why, until the next step begins, and let the
    // operator choose again.
    m_statusKey = m_exchange.Status();
    m_statusText = QString::fromLocal8Bit(error);
    apdesk::SetControlText(m_builder.Control(kStatusLabel), m_statusText);
    return false;
  }
  // One image per run.
  if (QWidget* upgrade = m_builder.Control(kUpgradeButton)) upgrade->setEnabled(true);
  if (QWidget* choose = m_builder.Control(kChooseButton)) choose->setEnabled(false);
  return true;
}

void CUpgradeDlg::OnClose() {
  m_exchange.Close();
  if (!m_closeEndsProgram) {
    // Opened from the menu: the connection and the recording go on.
    hide();
    return;
  }
  if (m_closeDevice) m_closeDevice();
  hide();
  if (m_requestQuit) m_requestQuit();
}

void CUpgradeDlg::reject() {
  OnClose();
}

void CUpgradeDlg::OnTimer() {
  m_exchange.Tick();
  apdesk::SetControlText(m_builder.Control(kStatusLabel), m_statusText);
  if (auto* bar = m_builder.ControlAs<QProgressBar>(kProgressBar)) {
    // The bar's range is a 16-bit value; its position stays inside the range.
    const int maximum = static_cast<std::int16_t>(m_exchange.ProgressMaximum());
    bar->setRange(0, maximum);
    bar->setValue(std::clamp(m_exchange.ProgressPosition(), 0, std::max(0, maximum)));
  }
}

void CUpgradeDlg::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_timer.timerId()) {
    OnTimer();
    return;
  }
  CKeyFilterDialog::timerEvent(event);
}

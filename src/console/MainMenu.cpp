// The main window's menu bar and status line, beside the template's
// controls: File and Tools. Later windows add their commands here.
#include <QAction>
#include <QMenu>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"

void CSetApDlg::BuildMenus() {
  m_chrome = apdesk::AddWindowChrome(this, [this](QMenuBar* bar) {
    m_fileMenu = bar->addMenu(m_language.Text("LID_MENU_FILE"));
    m_toolsMenu = bar->addMenu(m_language.Text("LID_MENU_TOOLS"));
  });

  m_toolsMenu->addAction(m_language.Text("LID_MENU_PLOTS"), this, [this] { ShowTelemetryPlots(); });
  m_toolsMenu->addAction(m_language.Text("LID_MENU_INSPECTOR"), this, [this] { ShowLinkInspector(); });
  m_toolsMenu->addAction(m_language.Text("LID_MENU_MAP"), this, [this] { ShowMap(); });
  m_toolsMenu->addAction(m_language.Text("LID_MENU_UPGRADE"), this, [this] { ShowUpgradeWindow(); });
  AddNmeaShareMenu();
  QAction* autoUsb = m_toolsMenu->addAction(m_language.Text("LID_MENU_AUTO_USB"));
  autoUsb->setCheckable(true);
  autoUsb->setChecked(m_app.GetSettingInt("Settings1", apdesk::kAutoConnectKey, 0) != 0);
  connect(autoUsb, &QAction::toggled, this, [this](bool on) {
    m_app.WriteSettingInt("Settings1", apdesk::kAutoConnectKey, on ? 1 : 0);
    apdesk::LinkFollower& follower = m_connection->Follower();
    if (on && !m_app.Session().Usb().IsOpen() && !m_app.Session().Serial().IsOpen()) {
      follower.WaitForUsb();
    } else if (!on && follower.Looking() && !follower.IsLost()) {
      follower.Stop();  // waiting for a first device: no more; a lost one is still followed
    }
  });

  // A device that returns is asked for its parameters as after Open USB or
  // Open COM, without the box.
  m_connection = std::make_unique<apdesk::ConnectionStatus>(
      m_app, StatusLine(), [this](const char* key) { return m_language.Text(key); },
      [this] {
        ForgetParameters();
        m_app.Session().Commands().SendGetParameters();
      },
      this);

  AddParameterFileMenu();
  m_fileMenu->addSeparator();
  m_fileMenu->addAction(m_language.Text("LID_MENU_RECORDS"), this, [this] { ShowFlightRecords(); });
  m_fileMenu->addSeparator();
  QAction* quit =
      m_fileMenu->addAction(m_language.Text("LID_MENU_QUIT"), this, [this] { done(QDialog::Accepted); });
  quit->setShortcut(QKeySequence::Quit);
}

void CSetApDlg::ShowUpgradeWindow() {
  m_upgradeDlg.ShowFromMenu();
}

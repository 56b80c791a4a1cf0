// The main window's menu bar and status line, beside the template's
// controls: File and Tools. Later windows add their commands here.
#include <QAction>
#include <QMenu>

#include "app/CConfigApp.h"
#include "console/CSetApDlg.h"

void CSetApDlg::BuildMenus() {
  m_chrome = apdesk::AddWindowChrome(this, [this](QMenuBar* bar) {
    m_fileMenu = bar->addMenu(Text("LID_MENU_FILE"));
    m_toolsMenu = bar->addMenu(Text("LID_MENU_TOOLS"));
  });

  m_toolsMenu->addAction(Text("LID_MENU_UPGRADE"), this, [this] { ShowUpgradeWindow(); });

  AddParameterFileMenu();
  m_fileMenu->addSeparator();
  QAction* quit = m_fileMenu->addAction(Text("LID_MENU_QUIT"), this, [this] { done(QDialog::Accepted); });
  quit->setShortcut(QKeySequence::Quit);
}

void CSetApDlg::ShowUpgradeWindow() {
  m_upgradeDlg.show();
  m_upgradeDlg.raise();
  m_upgradeDlg.activateWindow();
}

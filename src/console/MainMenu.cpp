#include "console/MainMenu.h"

#include <QAction>
#include <QDialog>
#include <QMenu>

#include "application/CConfigApp.h"
#include "console/ConnectionStatus.h"

namespace apdesk {

MainMenu::MainMenu(CConfigApp& app, const CLanguageManager& texts) : m_app(app), m_texts(texts) {}

WindowChrome MainMenu::Build(QDialog* window) {
  return AddWindowChrome(window, [this](QMenuBar* bar) {
    m_file = bar->addMenu(m_texts.Text("LID_MENU_FILE"));
    m_tools = bar->addMenu(m_texts.Text("LID_MENU_TOOLS"));
  });
}

void MainMenu::AddTool(const char* key, Command command) {
  m_tools->addAction(m_texts.Text(key), this, std::move(command));
}

void MainMenu::AddAutoUsb(std::function<LinkFollower&()> follower) {
  QAction* autoUsb = m_tools->addAction(m_texts.Text("LID_MENU_AUTO_USB"));
  autoUsb->setCheckable(true);
  autoUsb->setChecked(m_app.GetSettingInt("Settings1", kAutoConnectKey, 0) != 0);
  connect(autoUsb, &QAction::toggled, this, [this, follower = std::move(follower)](bool on) {
    m_app.WriteSettingInt("Settings1", kAutoConnectKey, on ? 1 : 0);
    LinkFollower& f = follower();
    if (on && !m_app.Session().Usb().IsOpen() && !m_app.Session().Serial().IsOpen()) {
      f.WaitForUsb();
    } else if (!on && f.Looking() && !f.IsLost()) {
      f.Stop();  // waiting for a first device: no more; a lost one is still followed
    }
  });
}

void MainMenu::AddFileEnd(Command records, Command quit) {
  m_file->addSeparator();
  m_file->addAction(m_texts.Text("LID_MENU_RECORDS"), this, std::move(records));
  m_file->addSeparator();
  QAction* action = m_file->addAction(m_texts.Text("LID_MENU_QUIT"), this, std::move(quit));
  action->setShortcut(QKeySequence::Quit);
}

}  // namespace apdesk

// The main window's alerts: fed from the receive path here and nowhere else,
// the newest on the status line, and the Tools menu's alert commands.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "alerts/CAlertsDlg.h"
#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"

void CSetApDlg::ConnectAlerts() {
  apdesk::AlertCentre::Hooks hooks;
  hooks.text = [this](const char* key) { return m_language.Text(key); };
  hooks.locale = [this] {
    return m_language.m_isChinese != 0 ? QLocale(QLocale::Chinese, QLocale::China)
                                       : QLocale(QLocale::English, QLocale::UnitedStates);
  };
  hooks.setting = [this](const char* key, int fallback) {
    return m_app.GetSettingInt(apdesk::kAlertsSection, key, fallback);
  };
  hooks.writeSetting = [this](const char* key, int value) {
    m_app.WriteSettingInt(apdesk::kAlertsSection, key, value);
  };
  hooks.connected = [this] { return m_app.Session().IsOpen() || m_connection->Follower().IsLost(); };
  hooks.recorderFailing = [this] { return m_recording.Failing(); };
  hooks.clockSpeed = [this] {
    if (!m_replay || !m_app.Session().Link().Replaying()) return 1.0;
    return m_replay->pacer.Paused() ? 0.0 : m_replay->pacer.Speed();
  };
  // Without a screen nobody listens either: no speech service is started
  // (the tests run so).
  hooks.speech = []() -> std::unique_ptr<apdesk::SpeechOutput> {
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") return nullptr;
    return apdesk::MakeQtSpeechOutput();
  };
  m_alerts = std::make_unique<apdesk::AlertCentre>(std::move(hooks));
  apdesk::AlertCentre* alerts = m_alerts.get();

  apdesk::ControllerSession& session = m_app.Session();
  connect(&session, &apdesk::ControllerSession::StatusSentence, alerts,
          [alerts, &session](const std::uint8_t* s) { alerts->Status(s, session.Link().Replaying()); });
  connect(&session, &apdesk::ControllerSession::ParameterSentence, alerts,
          [alerts](const std::uint8_t* s) { alerts->ParameterSentence(s); });
  connect(&session, &apdesk::ControllerSession::LinkLost, alerts, [alerts] { alerts->LinkLost(); });
  connect(&m_connection->Follower(), &apdesk::LinkFollower::Returned, alerts,
          [alerts] { alerts->LinkReturned(); });

  m_alertLabel = new QLabel(StatusLine());
  m_alertLabel->hide();
  StatusLine()->addWidget(m_alertLabel);
  connect(alerts, &apdesk::AlertCentre::AlertAdded, m_alertLabel,
          [this](const apdesk::AlertEntry& e) { apdesk::ShowAlertOn(m_alertLabel, e); });
  connect(alerts, &apdesk::AlertCentre::Notice, m_alertLabel, [this](const QString& text) {
    m_alertLabel->setText(text);
    m_alertLabel->setStyleSheet({});
    m_alertLabel->show();
  });

  m_toolsMenu->addSeparator();
  m_toolsMenu->addAction(m_language.Text("LID_ALERT_MENU_LIST"), this, [this] { ShowAlerts(); });
  QAction* mute = m_toolsMenu->addAction(m_language.Text("LID_ALERT_MENU_MUTE"));
  mute->setCheckable(true);
  connect(mute, &QAction::toggled, alerts, [alerts](bool on) { alerts->SetMuted(on); });
  m_toolsMenu->addAction(m_language.Text("LID_ALERT_MENU_TEST"), alerts, [alerts] { alerts->TestAlert(); });
  QAction* replay = m_toolsMenu->addAction(m_language.Text("LID_ALERT_MENU_REPLAY"));
  replay->setCheckable(true);
  replay->setChecked(alerts->SpeakDuringReplay());
  connect(replay, &QAction::toggled, alerts, [alerts](bool on) { alerts->SetSpeakDuringReplay(on); });
}

apdesk::CAlertsDlg* CSetApDlg::ShowAlerts() {
  if (!m_alertsDlg)
    m_alertsDlg = std::make_unique<apdesk::CAlertsDlg>(
        *m_alerts, [this](const char* key) { return m_language.Text(key); }, this);
  m_alertsDlg->show();
  m_alertsDlg->raise();
  return m_alertsDlg.get();
}

void CSetApDlg::done(int result) {
  // Nothing is said once the window is closing, not even what was queued.
  m_alerts->Shutdown();
  QDialog::done(result);
}

#include "console/AlertsHook.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "alerts/CAlertsDlg.h"
#include "application/CConfigApp.h"
#include "console/ConnectionStatus.h"

namespace apdesk {

AlertsHook::AlertsHook(CConfigApp& app, const CLanguageManager& texts, QWidget* window)
    : m_app(app), m_texts(texts), m_window(window) {}

AlertsHook::~AlertsHook() = default;

void AlertsHook::Connect(ConnectionStatus& connection, QStatusBar* line, QMenu* tools, Needs needs) {
  AlertCentre::Hooks hooks;
  hooks.text = [this](const char* key) { return m_texts.Text(key); };
  hooks.locale = [this] {
    return m_texts.m_isChinese != 0 ? QLocale(QLocale::Chinese, QLocale::China)
                                    : QLocale(QLocale::English, QLocale::UnitedStates);
  };
  hooks.setting = [this](const char* key, int fallback) {
    return m_app.GetSettingInt(kAlertsSection, key, fallback);
  };
  hooks.writeSetting = [this](const char* key, int value) {
    m_app.WriteSettingInt(kAlertsSection, key, value);
  };
  hooks.connected = [this, &connection] {
    return m_app.Session().IsOpen() || connection.Follower().IsLost();
  };
  hooks.recorderFailing = std::move(needs.recorderFailing);
  hooks.clockSpeed = std::move(needs.clockSpeed);
  // Without a screen nobody listens either: no speech service is started
  // (the tests run so).
  hooks.speech = []() -> std::unique_ptr<SpeechOutput> {
    const QString platform = QGuiApplication::platformName();
    if (platform == "offscreen" || platform == "minimal") return nullptr;
    return MakeQtSpeechOutput();
  };
  m_alerts = std::make_unique<AlertCentre>(std::move(hooks));
  AlertCentre* alerts = m_alerts.get();

  ControllerSession& session = m_app.Session();
  connect(&session, &ControllerSession::StatusSentence, alerts,
          [alerts, &session](const std::uint8_t* s) { alerts->Status(s, session.Link().Replaying()); });
  connect(&session, &ControllerSession::ParameterSentence, alerts,
          [alerts](const std::uint8_t* s) { alerts->ParameterSentence(s); });
  connect(&session, &ControllerSession::LinkLost, alerts, [alerts] { alerts->LinkLost(); });
  connect(&connection.Follower(), &LinkFollower::Returned, alerts, [alerts] { alerts->LinkReturned(); });

  m_label = new QLabel(line);
  m_label->hide();
  line->addWidget(m_label);
  connect(alerts, &AlertCentre::AlertAdded, m_label,
          [this](const AlertEntry& e) { ShowAlertOn(m_label, e); });
  connect(alerts, &AlertCentre::Notice, m_label, [this](const QString& text) {
    m_label->setText(text);
    m_label->setStyleSheet({});
    m_label->show();
  });
  AddCommands(tools);
}

void AlertsHook::AddCommands(QMenu* tools) {
  AlertCentre* alerts = m_alerts.get();
  tools->addSeparator();
  tools->addAction(m_texts.Text("LID_ALERT_MENU_LIST"), this, [this] { Show(); });
  QAction* mute = tools->addAction(m_texts.Text("LID_ALERT_MENU_MUTE"));
  mute->setCheckable(true);
  connect(mute, &QAction::toggled, alerts, [alerts](bool on) { alerts->SetMuted(on); });
  tools->addAction(m_texts.Text("LID_ALERT_MENU_TEST"), alerts, [alerts] { alerts->TestAlert(); });
  QAction* replay = tools->addAction(m_texts.Text("LID_ALERT_MENU_REPLAY"));
  replay->setCheckable(true);
  replay->setChecked(alerts->SpeakDuringReplay());
  connect(replay, &QAction::toggled, alerts, [alerts](bool on) { alerts->SetSpeakDuringReplay(on); });
}

CAlertsDlg* AlertsHook::Show() {
  if (!m_dialog)
    m_dialog = std::make_unique<CAlertsDlg>(
        *m_alerts, [this](const char* key) { return m_texts.Text(key); }, m_window);
  m_dialog->show();
  m_dialog->raise();
  return m_dialog.get();
}

}  // namespace apdesk

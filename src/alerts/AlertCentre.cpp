#include "alerts/AlertCentre.h"

#include "alerts/AlertText.h"
#include "protocol/StatusSentence.h"

namespace apdesk {

AlertCentre::AlertCentre(Hooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks)), m_speaker(m_hooks.speech) {
  m_clock.start();
  // The section is written out once, so the operator finds which alerts speak.
  if (m_hooks.setting && m_hooks.writeSetting) {
    for (std::size_t i = 0; i < alerts::kAlertNameCount; ++i) {
      const auto name = static_cast<alerts::AlertName>(i);
      if (name == alerts::AlertName::LinkBack) continue;
      if (m_hooks.setting(alerts::AlertNameText(name), -1) == -1)
        m_hooks.writeSetting(alerts::AlertNameText(name), 1);
    }
    if (m_hooks.setting(kSpeakDuringReplayKey, -1) == -1) m_hooks.writeSetting(kSpeakDuringReplayKey, 0);
  }
  m_speaker.OnNoVoice([this] { Q_EMIT Notice(m_hooks.text("LID_ALERT_NO_VOICE")); });
  connect(&m_tick, &QTimer::timeout, this, [this] { Tick(); });
  m_tick.start(kTickMs);
}

AlertCentre::~AlertCentre() {
  Shutdown();
}

std::int64_t AlertCentre::Now() {
  const std::int64_t wall = m_clock.elapsed();
  const double speed = m_hooks.clockSpeed ? m_hooks.clockSpeed() : 1.0;
  m_timeMs += static_cast<double>(wall - m_wallMs) * speed;
  m_wallMs = wall;
  return static_cast<std::int64_t>(m_timeMs);
}

bool AlertCentre::Speaks(alerts::AlertName name) const {
  // link_back speaks when link_lost does: it is the same alert ending.
  if (name == alerts::AlertName::LinkBack) name = alerts::AlertName::LinkLost;
  return !m_hooks.setting || m_hooks.setting(alerts::AlertNameText(name), 1) != 0;
}

bool AlertCentre::SpeakDuringReplay() const {
  return m_hooks.setting && m_hooks.setting(kSpeakDuringReplayKey, 0) != 0;
}

void AlertCentre::SetSpeakDuringReplay(bool on) {
  if (m_hooks.writeSetting) m_hooks.writeSetting(kSpeakDuringReplayKey, on ? 1 : 0);
}

void AlertCentre::Status(const std::uint8_t* s, bool replaying) {
  m_rules.Status(alerts::ReadingFromFields(ReadStatusFields(s)), Now());
  Take(!replaying || SpeakDuringReplay());
}

void AlertCentre::ParameterSentence(const std::uint8_t* s) {
  if (const std::optional<Parameters> p = DecodeParameters(s)) {
    m_rules.SetLimits(alerts::LimitsFromParameters(*p), Now());
    Take(true);
  }
}

void AlertCentre::LinkLost() {
  m_rules.LinkLost(Now());
  Take(true);
}

void AlertCentre::LinkReturned() {
  m_rules.LinkReturned(Now());
  Take(true);
}

void AlertCentre::Tick() {
  const bool connected = m_hooks.connected && m_hooks.connected();
  if (connected != m_connected) {
    m_connected = connected;
    connected ? m_rules.Connected(Now()) : m_rules.Disconnected(Now());
  }
  const bool failing = m_hooks.recorderFailing && m_hooks.recorderFailing();
  if (failing != m_recorderFailing) {
    m_recorderFailing = failing;
    m_rules.RecorderFailing(failing, Now());
  }
  m_rules.Tick(Now());
  Take(true);
}

void AlertCentre::Take(bool speak) {
  for (alerts::AlertNotice n : m_rules.TakeNotices()) Q_EMIT Notice(m_hooks.text(alerts::NoticeTextKey(n)));
  for (const alerts::AlertEvent& e : m_rules.TakeEvents()) {
    const std::string key = alerts::AlertTextKey(e);
    const QString text =
        QString::fromStdString(alerts::FillAlertText(m_hooks.text(key.c_str()).toStdString(), e));
    if (speak && Speaks(e.name))
      m_speaker.Say(text, e.level == alerts::AlertLevel::Critical && e.state != alerts::AlertState::Cleared,
                    m_hooks.locale());
    if (e.state == alerts::AlertState::Repeated) continue;  // already listed
    m_entries.push_back(AlertEntry{QDateTime::currentDateTime(), e, text});
    Q_EMIT AlertAdded(m_entries.back());
  }
}

void AlertCentre::TestAlert() {
  m_speaker.Say(m_hooks.text("LID_ALERT_TEST"), false, m_hooks.locale());
}

void AlertCentre::Shutdown() {
  m_tick.stop();
  m_speaker.Shutdown();
}

}  // namespace apdesk

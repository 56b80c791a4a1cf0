#pragma once
// The window's alerts: the rules fed from the receive path, the session's
// list of alerts with their times, the texts in the window's language and
// the speaker. Which alerts speak, and whether a replay speaks, are kept in
// the settings file, section "ALERTS" (a key per alert name, and
// SPEAK_DURING_REPLAY), 1 or 0.

#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

#include "alerts/AlertRules.h"
#include "alerts/AlertSpeaker.h"

namespace apdesk {

inline constexpr const char* kAlertsSection = "ALERTS";
inline constexpr const char* kSpeakDuringReplayKey = "SPEAK_DURING_REPLAY";

struct AlertEntry {
  QDateTime time;  // local time of the event
  alerts::AlertEvent event;
  QString text;  // in the window's language, values filled in
};

class AlertCentre : public QObject {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 250;

  struct Hooks {
    std::function<QString(const char* key)> text;               // the window's language
    std::function<QLocale()> locale;                            // the language spoken
    std::function<int(const char* key, int fallback)> setting;  // section "ALERTS"
    std::function<void(const char* key, int value)> writeSetting;
    // Checked at every tick: whether a connection is open (or lost and being
    // looked for), and whether the recorder cannot write.
    std::function<bool()> connected;
    std::function<bool()> recorderFailing;
    // How fast the time of what arrives passes against the wall clock: a
    // replay's speed (0 while paused), so a hold lasts flight seconds.
    std::function<double()> clockSpeed;
    SpeechOutputFactory speech;
  };

  explicit AlertCentre(Hooks hooks, QObject* parent = nullptr);
  ~AlertCentre() override;

  void Status(const std::uint8_t* sentence99, bool replaying);
  void ParameterSentence(const std::uint8_t* sentence45);
  void LinkLost();
  void LinkReturned();
  void Tick();

  void SetMuted(bool muted) { m_speaker.SetMuted(muted); }
  bool Muted() const { return m_speaker.Muted(); }
  void SetSpeakDuringReplay(bool on);
  bool SpeakDuringReplay() const;
  // Tools > Test alerts: one text said, as a warning would be.
  void TestAlert();
  // The window closes: nothing is said from now on.
  void Shutdown();

  const std::vector<AlertEntry>& Entries() const { return m_entries; }
  AlertSpeaker& Speaker() { return m_speaker; }

 Q_SIGNALS:
  void AlertAdded(const AlertEntry& entry);
  // A rule that cannot run, or no voice installed: said once.
  void Notice(const QString& text);

 private:
  std::int64_t Now();
  void Take(bool speak);
  bool Speaks(alerts::AlertName name) const;

  Hooks m_hooks;
  alerts::AlertRules m_rules;
  AlertSpeaker m_speaker;
  std::vector<AlertEntry> m_entries;
  QElapsedTimer m_clock;
  std::int64_t m_wallMs = 0;
  double m_timeMs = 0;
  QTimer m_tick;
  bool m_connected = false;
  bool m_recorderFailing = false;
};

}  // namespace apdesk

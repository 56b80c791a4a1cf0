#pragma once
// Says alert texts one after another, critical ones ahead of warnings.
// Muting empties the queue and stops what is being said; after Shutdown
// (the window closes) nothing is said again. Without a voice for the
// language each alert is a sound, and the lack of a voice is told once.

#include <QLocale>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

#include "alerts/SpeechOutput.h"

namespace apdesk {

class AlertSpeaker {
 public:
  // A text the engine does not finish in this time is given up.
  static constexpr int kLongestTextMs = 20000;

  explicit AlertSpeaker(SpeechOutputFactory factory);
  ~AlertSpeaker();

  // Before anything was said: another engine (a test's stand-in).
  void SetFactory(SpeechOutputFactory factory) { m_factory = std::move(factory); }
  void Say(const QString& text, bool critical, const QLocale& locale);
  void SetMuted(bool muted);
  bool Muted() const { return m_muted; }
  void Shutdown();
  // Told once, the first time an alert finds no voice.
  void OnNoVoice(std::function<void()> f) { m_noVoice = std::move(f); }
  std::size_t Queued() const { return m_queue.size(); }
  bool Speaking() const { return m_speaking; }

 private:
  struct Item {
    QString text;
    bool critical;
    QLocale locale;
  };
  void Next();
  SpeechOutput* Output();

  SpeechOutputFactory m_factory;
  std::unique_ptr<SpeechOutput> m_output;
  std::deque<Item> m_queue;
  QTimer m_watchdog;
  bool m_speaking = false;
  bool m_muted = false;
  bool m_closed = false;
  bool m_toldNoVoice = false;
  std::function<void()> m_noVoice;
};

}  // namespace apdesk

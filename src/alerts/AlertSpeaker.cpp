#include "alerts/AlertSpeaker.h"

#include <QApplication>

#include <algorithm>

namespace apdesk {

AlertSpeaker::AlertSpeaker(SpeechOutputFactory factory) : m_factory(std::move(factory)) {
  m_watchdog.setSingleShot(true);
  QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
    m_speaking = false;
    Next();
  });
}

AlertSpeaker::~AlertSpeaker() {
  Shutdown();
}

SpeechOutput* AlertSpeaker::Output() {
  if (!m_output && m_factory) {
    m_output = m_factory();
    if (m_output) {
      m_output->OnFinished([this] {
        m_watchdog.stop();
        m_speaking = false;
        // After the engine's own signal has returned.
        QTimer::singleShot(0, &m_watchdog, [this] { Next(); });
      });
    }
  }
  return m_output.get();
}

void AlertSpeaker::Say(const QString& text, bool critical, const QLocale& locale) {
  if (m_closed || m_muted || text.isEmpty()) return;
  Item item{text, critical, locale};
  if (critical) {
    // Ahead of every waiting warning, behind the criticals already waiting.
    const auto firstWarning =
        std::find_if(m_queue.begin(), m_queue.end(), [](const Item& i) { return !i.critical; });
    m_queue.insert(firstWarning, std::move(item));
  } else {
    m_queue.push_back(std::move(item));
  }
  Next();
}

void AlertSpeaker::Next() {
  if (m_closed || m_muted || m_speaking || m_queue.empty()) return;
  Item item = std::move(m_queue.front());
  m_queue.pop_front();
  SpeechOutput* output = Output();
  if (!output || !output->HasVoice(item.locale)) {
    QApplication::beep();
    if (!m_toldNoVoice) {
      m_toldNoVoice = true;
      if (m_noVoice) m_noVoice();
    }
    Next();
    return;
  }
  m_speaking = true;
  m_watchdog.start(kLongestTextMs);
  output->Say(item.text, item.locale);
}

void AlertSpeaker::SetMuted(bool muted) {
  m_muted = muted;
  if (!muted) return;
  m_queue.clear();
  m_watchdog.stop();
  if (m_speaking && m_output) m_output->Stop();
  m_speaking = false;
}

void AlertSpeaker::Shutdown() {
  m_closed = true;
  m_queue.clear();
  m_watchdog.stop();
  if (m_speaking && m_output) m_output->Stop();
  m_speaking = false;
}

}  // namespace apdesk

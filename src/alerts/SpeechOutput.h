#pragma once
// What speaks the alerts: the real engine (Qt TextToSpeech) or, in a test, a
// stand-in that keeps what it was given. One text at a time; the speaker
// queues the rest.

#include <QLocale>
#include <QString>

#include <functional>
#include <memory>
#include <utility>

namespace apdesk {

class SpeechOutput {
 public:
  virtual ~SpeechOutput() = default;
  // A voice for this language is installed and the engine runs.
  virtual bool HasVoice(const QLocale& locale) = 0;
  // Starts saying `text`; Finished follows when it is said or stopped.
  virtual void Say(const QString& text, const QLocale& locale) = 0;
  virtual void Stop() = 0;
  void OnFinished(std::function<void()> f) { m_finished = std::move(f); }

 protected:
  void Finished() {
    if (m_finished) m_finished();
  }

 private:
  std::function<void()> m_finished;
};

// The engine is made when the first alert is to be said, so a session
// without alerts never starts a speech service.
using SpeechOutputFactory = std::function<std::unique_ptr<SpeechOutput>()>;

// Qt TextToSpeech with its default engine (speech-dispatcher on Linux).
std::unique_ptr<SpeechOutput> MakeQtSpeechOutput();

}  // namespace apdesk

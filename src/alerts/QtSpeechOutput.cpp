// Alerts spoken through Qt TextToSpeech.
#include <QTextToSpeech>
#include <QVoice>

#include "alerts/SpeechOutput.h"

namespace apdesk {
namespace {

class QtSpeechOutput : public SpeechOutput {
 public:
  QtSpeechOutput() : m_engine(new QTextToSpeech) {
    QObject::connect(m_engine.get(), &QTextToSpeech::stateChanged, m_engine.get(),
                     [this](QTextToSpeech::State state) {
                       if (m_saying && (state == QTextToSpeech::Ready || state == QTextToSpeech::Error)) {
                         m_saying = false;
                         Finished();
                       }
                     });
  }

  bool HasVoice(const QLocale& locale) override {
    if (m_engine->state() == QTextToSpeech::Error) return false;
    for (const QLocale& l : m_engine->availableLocales()) {
      if (l.language() != locale.language()) continue;
      m_engine->setLocale(l);
      return !m_engine->availableVoices().isEmpty();
    }
    return false;
  }

  void Say(const QString& text, const QLocale& locale) override {
    if (m_engine->locale().language() != locale.language()) HasVoice(locale);
    m_saying = true;
    m_engine->say(text);
  }

  void Stop() override { m_engine->stop(); }

 private:
  std::unique_ptr<QTextToSpeech> m_engine;
  bool m_saying = false;
};

}  // namespace

std::unique_ptr<SpeechOutput> MakeQtSpeechOutput() {
  return std::make_unique<QtSpeechOutput>();
}

}  // namespace apdesk

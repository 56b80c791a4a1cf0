// Alerts spoken through Qt TextToSpeech. The engine lives on a thread of its
// own: connecting to the speech service can take long (or never end when
// the service hangs), and the window must not wait for it. Until the engine
// has said whether it runs, a voice is taken to be there; an alert the
// engine never finishes is given up by the speaker after a while.
#include <QMetaObject>
#include <QPointer>
#include <QTextToSpeech>
#include <QThread>
#include <QVoice>

#include <atomic>
#include <mutex>
#include <vector>

#include "alerts/SpeechOutput.h"

namespace apdesk {
namespace {

// What the engine's thread learnt, read from the window's thread.
struct EngineState {
  std::mutex lock;
  bool known = false;                        // the engine has started (or failed to)
  bool running = false;                      // ... and it runs
  std::vector<QLocale::Language> languages;  // with at least one voice
};

class EngineWorker : public QObject {
 public:
  EngineWorker(std::shared_ptr<EngineState> state, std::function<void()> finished)
      : m_state(std::move(state)), m_finished(std::move(finished)) {}

  void Start() {
    m_engine = new QTextToSpeech(this);
    std::vector<QLocale::Language> languages;
    const bool running = m_engine->state() != QTextToSpeech::Error;
    if (running) {
      for (const QLocale& l : m_engine->availableLocales()) {
        m_engine->setLocale(l);
        if (!m_engine->availableVoices().isEmpty()) languages.push_back(l.language());
      }
    }
    {
      std::lock_guard<std::mutex> hold(m_state->lock);
      m_state->known = true;
      m_state->running = running;
      m_state->languages = std::move(languages);
    }
    connect(m_engine, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State s) {
      if (m_saying && (s == QTextToSpeech::Ready || s == QTextToSpeech::Error)) {
        m_saying = false;
        m_finished();
      }
    });
  }

  void Say(const QString& text, const QLocale& locale) {
    if (!m_engine || m_engine->state() == QTextToSpeech::Error) {
      m_finished();
      return;
    }
    for (const QLocale& l : m_engine->availableLocales()) {
      if (l.language() == locale.language()) {
        m_engine->setLocale(l);
        break;
      }
    }
    m_saying = true;
    m_engine->say(text);
  }

  void Stop() {
    if (m_engine) m_engine->stop();
  }

 private:
  std::shared_ptr<EngineState> m_state;
  std::function<void()> m_finished;
  QTextToSpeech* m_engine = nullptr;
  bool m_saying = false;
};

class QtSpeechOutput : public SpeechOutput {
 public:
  QtSpeechOutput() : m_state(std::make_shared<EngineState>()), m_receiver(new QObject) {
    QPointer<QObject> receiver(m_receiver.get());
    m_worker = new EngineWorker(m_state, [this, receiver] {
      // Back on the window's thread, unless the output is gone.
      QMetaObject::invokeMethod(
          receiver,
          [this, receiver] {
            if (receiver) Finished();
          },
          Qt::QueuedConnection);
    });
    m_thread = new QThread;
    m_worker->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->Start(); }, Qt::QueuedConnection);
  }

  ~QtSpeechOutput() override {
    m_receiver.reset();  // no Finished after this
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->Stop(); }, Qt::QueuedConnection);
    m_thread->quit();
    // A speech service that hangs keeps its thread: it is left to end with
    // the process rather than hold up the window's end.
    if (m_thread->wait(1000)) {
      delete m_thread;
    } else {
      m_thread->setParent(nullptr);
    }
  }

  bool HasVoice(const QLocale& locale) override {
    std::lock_guard<std::mutex> hold(m_state->lock);
    if (!m_state->known) return true;
    if (!m_state->running) return false;
    for (QLocale::Language l : m_state->languages)
      if (l == locale.language()) return true;
    return false;
  }

  void Say(const QString& text, const QLocale& locale) override {
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, text, locale] { worker->Say(text, locale); }, Qt::QueuedConnection);
  }

  void Stop() override {
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker] { worker->Stop(); }, Qt::QueuedConnection);
  }

 private:
  std::shared_ptr<EngineState> m_state;
  std::unique_ptr<QObject> m_receiver;
  EngineWorker* m_worker = nullptr;
  QThread* m_thread = nullptr;
};

}  // namespace

std::unique_ptr<SpeechOutput> MakeQtSpeechOutput() {
  return std::make_unique<QtSpeechOutput>();
}

}  // namespace apdesk

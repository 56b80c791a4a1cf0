#pragma once
// The flight recorder as a reader of the session: every good "$STP" that is
// not a replay goes to the record file, and when the disk refuses it the
// operator is told once, in a box that never covers another one.

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>

#include "localisation/CLanguageManager.h"
#include "recorder/RecorderNotices.h"
#include "recorder/SaveData.h"

class QWidget;

namespace apdesk {

class ControllerSession;

class FlightRecording : public QObject {
 public:
  static constexpr int kNoticeRetryMs = 500;

  // Boxes are shown over `window`; `texts` (the application's) outlive this.
  FlightRecording(const CLanguageManager& texts, QWidget* window);

  // Starts the worker that writes under baseDir.
  void Start(const std::string& baseDir);
  // The recorder's one connection to the session. Connected before any other
  // reader of "$STP", so a sentence is recorded before anything it causes can
  // open a box (whose event loop would hold the sentence back).
  void Listen(ControllerSession& session);
  // Ends the worker after its last pass, which writes every record queued,
  // then says in a box how many records were lost, if any.
  void Finish();

  CSaveData& Recorder() { return m_recorder; }
  // The worker runs and cannot write.
  bool Failing() const { return m_started && m_recorder.WriteFailing(); }

 private:
  void Record(const std::uint8_t* sentence, bool replaying);
  void ShowNotice(const QString& text);

  const CLanguageManager& m_texts;
  QWidget* m_window;
  CSaveData m_recorder;
  RecorderNotices m_notices;
  bool m_started = false;
};

}  // namespace apdesk

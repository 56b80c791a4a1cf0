#include "console/FlightRecording.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "link/ControllerSession.h"
#include "ui/MessageBoxes.h"

namespace apdesk {

FlightRecording::FlightRecording(const CLanguageManager& texts, QWidget* window)
    : m_texts(texts), m_window(window) {}

void FlightRecording::Start(const std::string& baseDir) {
  m_recorder.SetBaseDir(baseDir);
  m_started = m_recorder.StartThread();
}

void FlightRecording::Listen(ControllerSession& session) {
  connect(&session, &ControllerSession::StatusSentence, this,
          [this, &session](const std::uint8_t* s) { Record(s, session.Link().Replaying()); });
}

void FlightRecording::Record(const std::uint8_t* s, bool replaying) {
  // A replayed record is in a record file already.
  if (!replaying) RecordStatusSentence(m_recorder, s);
  const std::string notice = m_notices.Poll(m_recorder, m_texts.Text("LID_PUB_RECORD_FAILING").toStdString());
  if (!notice.empty()) {
    // Shown after this sentence is handled: a box's own event loop must not
    // run inside the receive path.
    QTimer::singleShot(0, this, [this, text = QString::fromStdString(notice)] { ShowNotice(text); });
  }
}

void FlightRecording::ShowNotice(const QString& text) {
  // Never a second box over another one: it waits until that one is closed.
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != m_window) {
    QTimer::singleShot(kNoticeRetryMs, this, [this, text] { ShowNotice(text); });
    return;
  }
  MessageBoxes::Show(m_window, text, BoxIcon::Warning);
}

void FlightRecording::Finish() {
  if (m_started) m_recorder.Stop();
  m_started = false;
  const std::string lost =
      RecorderNotices::LossText(m_recorder, m_texts.Text("LID_PUB_RECORD_LOST").toStdString());
  if (!lost.empty()) MessageBoxes::Show(nullptr, QString::fromStdString(lost), BoxIcon::Warning);
}

}  // namespace apdesk

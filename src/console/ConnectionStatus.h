#pragma once
// The connection's state on the main window's status line (what is open,
// records a second, age of the last good record, bad sums; or lost since
// when), and the following of a device that goes away: no box, no end of
// the program, the device reopened when it returns (link/LinkFollower.h).

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

#include "console/ConnectionStatusText.h"
#include "link/LinkFollower.h"

class CConfigApp;
class QLabel;
class QStatusBar;

namespace apdesk {

// Settings file, section "Settings1": 1 when the program connects to the
// first USB controller that appears, at start or later (--connect auto).
inline constexpr const char* kAutoConnectKey = "AUTOCONNECT";

class ConnectionStatus : public QObject {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 1000;

  // `text` gives a language file's text by key; `onReturned` runs when a lost
  // device (or the first one WaitForUsb looked for) is open again.
  ConnectionStatus(CConfigApp& app, QStatusBar* line, std::function<QString(const char*)> text,
                   std::function<void()> onReturned, QObject* parent = nullptr);

  LinkFollower& Follower() { return m_follower; }
  // While a record file is replayed (and no device is open), the line says
  // what `fill` puts into the state's replay.
  void SetReplay(std::function<void(ConnectionState::Replay*)> fill) {
    m_replayFill = std::move(fill);
    Refresh();
  }
  // What the line shows now; Refresh brings it up to date at once.
  QString Text() const;
  ConnectionState State() const;
  void Refresh();

 private:
  void OnRecord();

  CConfigApp& m_app;
  QLabel* m_label = nullptr;
  std::function<QString(const char*)> m_text;
  std::function<void(ConnectionState::Replay*)> m_replayFill;
  LinkFollower& m_follower;  // the session's
  QTimer m_tick;
  QElapsedTimer m_sinceRecord;   // invalid until a good record on this connection
  QElapsedTimer m_sinceConnect;  // invalid while not connected
  QElapsedTimer m_rateWindow;
  int m_recordsInWindow = 0;
  double m_rate = 0;
};

}  // namespace apdesk

// The windows beside the main window, opened from its menus: the telemetry
// plots and the link inspector, fed from the one receive path; the flight
// records; and a replay of a record file through that same path.
#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include <algorithm>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"
#include "inspector/CLinkInspectorDlg.h"
#include "map/CMapDlg.h"
#include "recorder/ReplayPacer.h"
#include "telemetryplots/CTelemetryPlotsDlg.h"
#include "viewer/CFlightRecordsDlg.h"

void CSetApDlg::ShowTelemetryPlots() {
  if (!m_plotsDlg) {
    m_plotsDlg = std::make_unique<CTelemetryPlotsDlg>(m_language, this);
    m_plotsDlg->Create();
    connect(&m_app.Session(), &apdesk::ControllerSession::StatusSentence, m_plotsDlg.get(),
            [this](const std::uint8_t* s) { m_plotsDlg->AddStatusSentence(s, m_toolClock.elapsed()); });
  }
  m_plotsDlg->show();
  m_plotsDlg->raise();
}

void CSetApDlg::ShowLinkInspector() {
  if (!m_inspectorDlg) {
    m_inspectorDlg = std::make_unique<CLinkInspectorDlg>(m_language, this);
    CLinkInspectorDlg* inspector = m_inspectorDlg.get();
    apdesk::ControllerSession* session = &m_app.Session();
    const apdesk::ControllerLink* link = &session->Link();
    connect(session, &apdesk::ControllerSession::SentenceTaken, inspector,
            [inspector](int tag, const std::uint8_t* s, int length, bool) {
              inspector->OnSentence(static_cast<apdesk::SentenceTag>(tag), s,
                                    static_cast<std::size_t>(length));
            });
    connect(session, &apdesk::ControllerSession::UsbReport, inspector,
            [inspector](const std::uint8_t*) { inspector->OnReport(); });
    // The counters at the inspector's own pace, not once per read.
    auto* counters = new QTimer(inspector);
    connect(counters, &QTimer::timeout, inspector,
            [this, inspector, link] { inspector->OnCounters(link->Counters(), m_toolClock.elapsed()); });
    counters->start(CLinkInspectorDlg::kRefreshMs);
    inspector->OnCounters(link->Counters(), m_toolClock.elapsed());
  }
  m_inspectorDlg->show();
  m_inspectorDlg->raise();
}

void CSetApDlg::ShowFlightRecords() {
  if (!m_recordsDlg) {
    m_recordsDlg = std::make_unique<CFlightRecordsDlg>(m_language, this);
    m_recordsDlg->SetMapTiles(MapTiles());
    m_recordsDlg->ShowFolder(QString::fromStdString(m_recorder.RecordFolder()));
  }
  m_recordsDlg->show();
  m_recordsDlg->raise();
}

bool CSetApDlg::StartReplay(const QString& path, double speed, QString* error) {
  auto replay = std::make_unique<Replay>();
  std::string why;
  if (!replay->pacer.Open(path.toStdString(), &why)) {
    *error = QString::fromStdString(why);
    return false;
  }
  m_replay = std::move(replay);
  Replay& r = *m_replay;
  // A replayed record is shown, plotted and inspected, but never recorded again.
  m_app.Session().Link().SetReplaying(true);
  if (MapWindow()) MapWindow()->ResetHome();  // home is the replay's first fix
  r.timer.setSingleShot(true);
  r.timer.setTimerType(Qt::PreciseTimer);
  connect(&r.timer, &QTimer::timeout, this, [this] { ReplayTick(); });
  r.pause = m_toolsMenu->addAction(m_language.Text("LID_MENU_REPLAY_PAUSE"));
  r.pause->setCheckable(true);
  connect(r.pause, &QAction::toggled, this, [this](bool paused) {
    m_replay->pacer.SetPaused(paused, m_toolClock.elapsed());
    if (!paused) ReplayTick();
    m_connection->Refresh();
  });
  r.pacer.SetSpeed(speed, m_toolClock.elapsed());
  r.pacer.Start(m_toolClock.elapsed());
  // The status line says what is played, at what speed and where, instead
  // of "Not connected".
  m_connection->SetReplay(
      [this, file = QFileInfo(path).fileName().toStdString()](apdesk::ConnectionState::Replay* state) {
        const Replay& now = *m_replay;
        state->file = file;
        state->speed = now.pacer.Speed();
        state->records = now.pacer.Played();
        state->paused = now.pacer.Paused();
        state->finished = now.pacer.Finished();
        if (now.lastUtc) {
          const long long day = *now.lastUtc % 86400;
          state->flightTime =
              QString::asprintf("%02lld:%02lld:%02lld", day / 3600, day / 60 % 60, day % 60).toStdString();
        }
      });
  ReplayTick();
  return true;
}

void CSetApDlg::ReplayTick() {
  Replay& r = *m_replay;
  r.due.clear();
  r.pacer.NextDue(m_toolClock.elapsed(), &r.due);
  for (const apdesk::RecordBytes& record : r.due) {
    m_app.Session().Link().Feed(record.data(), record.size());
    if (const auto utc = apdesk::RecordUtcSeconds(record.data())) r.lastUtc = utc;
  }
  if (const auto next = r.pacer.NextDueMs()) {
    r.timer.start(static_cast<int>(std::max<qint64>(0, *next - m_toolClock.elapsed())));
  }
}

#include "console/ToolWindows.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include <algorithm>

#include "application/CConfigApp.h"
#include "console/ConnectionStatus.h"
#include "inspector/CLinkInspectorDlg.h"
#include "map/CMapDlg.h"
#include "recorder/ReplayPacer.h"
#include "telemetryplots/CTelemetryPlotsDlg.h"
#include "viewer/CFlightRecordsDlg.h"

namespace apdesk {

ToolWindows::ToolWindows(CConfigApp& app, const CLanguageManager& texts, QWidget* window,
                         const CSaveData& recorder, MapTool& map, const QElapsedTimer& clock)
    : m_app(app), m_texts(texts), m_window(window), m_recorder(recorder), m_map(map), m_clock(clock) {}

ToolWindows::~ToolWindows() = default;

void ToolWindows::ShowPlots() {
  if (!m_plots) {
    m_plots = std::make_unique<CTelemetryPlotsDlg>(m_texts, m_window);
    m_plots->Create();
    connect(&m_app.Session(), &ControllerSession::StatusSentence, m_plots.get(),
            [this](const std::uint8_t* s) { m_plots->AddStatusSentence(s, m_clock.elapsed()); });
  }
  m_plots->show();
  m_plots->raise();
}

void ToolWindows::ShowInspector() {
  if (!m_inspector) {
    m_inspector = std::make_unique<CLinkInspectorDlg>(m_texts, m_window);
    CLinkInspectorDlg* inspector = m_inspector.get();
    ControllerSession* session = &m_app.Session();
    const ControllerLink* link = &session->Link();
    connect(session, &ControllerSession::SentenceTaken, inspector,
            [inspector](int tag, const std::uint8_t* s, int length, bool) {
              inspector->OnSentence(static_cast<SentenceTag>(tag), s, static_cast<std::size_t>(length));
            });
    connect(session, &ControllerSession::UsbReport, inspector,
            [inspector](const std::uint8_t*) { inspector->OnReport(); });
    // The counters at the inspector's own pace, not once per read.
    auto* counters = new QTimer(inspector);
    connect(counters, &QTimer::timeout, inspector,
            [this, inspector, link] { inspector->OnCounters(link->Counters(), m_clock.elapsed()); });
    counters->start(CLinkInspectorDlg::kRefreshMs);
    inspector->OnCounters(link->Counters(), m_clock.elapsed());
  }
  m_inspector->show();
  m_inspector->raise();
}

void ToolWindows::ShowRecords() {
  if (!m_records) {
    m_records = std::make_unique<CFlightRecordsDlg>(m_texts, m_window);
    m_records->SetMapTiles(m_map.Tiles());
    m_records->ShowFolder(QString::fromStdString(m_recorder.RecordFolder()));
  }
  m_records->show();
  m_records->raise();
}

bool ToolWindows::StartReplay(const QString& path, double speed, QMenu* tools, ConnectionStatus& status,
                              QString* error) {
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
  if (m_map.Window()) m_map.Window()->ResetHome();  // home is the replay's first fix
  r.timer.setSingleShot(true);
  r.timer.setTimerType(Qt::PreciseTimer);
  connect(&r.timer, &QTimer::timeout, this, [this] { ReplayTick(); });
  r.pause = tools->addAction(m_texts.Text("LID_MENU_REPLAY_PAUSE"));
  r.pause->setCheckable(true);
  connect(r.pause, &QAction::toggled, this, [this, &status](bool paused) {
    m_replay->pacer.SetPaused(paused, m_clock.elapsed());
    if (!paused) ReplayTick();
    status.Refresh();
  });
  r.pacer.SetSpeed(speed, m_clock.elapsed());
  r.pacer.Start(m_clock.elapsed());
  // The status line says what is played, at what speed and where, instead
  // of "Not connected".
  status.SetReplay([this, file = QFileInfo(path).fileName().toStdString()](ConnectionState::Replay* state) {
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

void ToolWindows::ReplayTick() {
  Replay& r = *m_replay;
  r.due.clear();
  r.pacer.NextDue(m_clock.elapsed(), &r.due);
  for (const RecordBytes& record : r.due) {
    m_app.Session().Link().Feed(record.data(), record.size());
    if (const auto utc = RecordUtcSeconds(record.data())) r.lastUtc = utc;
  }
  if (const auto next = r.pacer.NextDueMs()) {
    r.timer.start(static_cast<int>(std::max<qint64>(0, *next - m_clock.elapsed())));
  }
}

double ToolWindows::ClockSpeed() const {
  if (!m_replay || !m_app.Session().Link().Replaying()) return 1.0;
  return m_replay->pacer.Paused() ? 0.0 : m_replay->pacer.Speed();
}

}  // namespace apdesk

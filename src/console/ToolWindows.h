#pragma once
// The windows beside the main window, opened from its menus: the telemetry
// plots and the link inspector, fed from the session; the flight records;
// and a replay of a record file through the session's receive path.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "console/MapWindow.h"
#include "localisation/CLanguageManager.h"
#include "recorder/ReplayPacer.h"
#include "recorder/SaveData.h"

class CConfigApp;
class CFlightRecordsDlg;
class CLinkInspectorDlg;
class CTelemetryPlotsDlg;
class QAction;
class QMenu;

namespace apdesk {

class ConnectionStatus;

class ToolWindows : public QObject {
 public:
  // The windows belong to `window`; the records are looked for in
  // `recorder`'s folder and their track drawn over `map`'s tiles. All of
  // these outlive this.
  ToolWindows(CConfigApp& app, const CLanguageManager& texts, QWidget* window, const CSaveData& recorder,
              MapTool& map, const QElapsedTimer& clock);
  ~ToolWindows() override;

  // Each window made once, then shown again.
  void ShowPlots();
  void ShowInspector();
  void ShowRecords();
  // Null until first shown.
  CTelemetryPlotsDlg* Plots() const { return m_plots.get(); }
  CLinkInspectorDlg* Inspector() const { return m_inspector.get(); }

  // Plays a record file into the receive path at its pace times `speed`,
  // with Pause replay at the end of `tools` and the replay on `status`'s
  // line; false with the reason when the file cannot be read.
  bool StartReplay(const QString& path, double speed, QMenu* tools, ConnectionStatus& status, QString* error);
  // How fast a replay's clock runs: 1 without one, 0 while paused.
  double ClockSpeed() const;
  // Ends a replay's timer; nothing more is played.
  void EndReplay() { m_replay.reset(); }

 private:
  struct Replay {
    ReplayPacer pacer;
    QTimer timer;
    std::vector<RecordBytes> due;
    QAction* pause = nullptr;
    std::optional<long long> lastUtc;  // of the last record played that had a time
  };
  void ReplayTick();

  CConfigApp& m_app;
  const CLanguageManager& m_texts;
  QWidget* m_window;
  const CSaveData& m_recorder;
  MapTool& m_map;
  const QElapsedTimer& m_clock;
  std::unique_ptr<CTelemetryPlotsDlg> m_plots;
  std::unique_ptr<CLinkInspectorDlg> m_inspector;
  std::unique_ptr<CFlightRecordsDlg> m_records;
  std::unique_ptr<Replay> m_replay;
};

}  // namespace apdesk

#pragma once
// The "Flight records" window: the record files of a folder with a summary of
// each, and for the chosen one its telemetry plotted over time beside the
// track, with one cursor shared by the plots and the track (click either),
// zoom and pan. Modeless; texts from the language file's [flightrecords].

#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

#include "localisation/CLanguageManager.h"
#include "viewer/FlightData.h"

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QStackedWidget;
class QVBoxLayout;
namespace apdesk::map {
class MapView;
class TileService;
}  // namespace apdesk::map
class QCPAxisRect;
class QCPMarginGroup;
class QCPCurve;
class QCPGraph;
class QCPItemLine;
class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class CFlightRecordsDlg : public QDialog {
  Q_OBJECT

 public:
  // `texts` (the application's) outlive the window.
  CFlightRecordsDlg(const CLanguageManager& texts, QWidget* parent);
  ~CFlightRecordsDlg() override;

  // Lists the ".hj" files of the folder (newest first), summarising them one
  // by one without blocking the window; shows the folder's whole path and
  // lists a file as soon as it is added (a folder made later included).
  void ShowFolder(const QString& hjFolder);
  // Brings the list up to date with the folder: new files are added and
  // summarised, removed ones leave, the others keep their summary.
  void RefreshFolder();
  // Loads and shows one file; a file that cannot be shown leaves the window
  // as it was and says why in its status line.
  void ShowFile(const QString& path);

  // For tests and measurements.
  const apdesk::FlightData& Flight() const { return m_flight; }
  std::size_t CursorIndex() const { return m_cursor; }
  void SetCursorIndex(std::size_t index);
  QString StatusText() const;

  // Draws the track over the map of these tiles too (a switch turns the map
  // off); without it the track is drawn on its grid only.
  void SetMapTiles(apdesk::map::TileService* service);
  apdesk::map::MapView* TrackMap() const { return m_map; }
  QCheckBox* MapSwitch() const { return m_mapSwitch; }

 private:
  struct Series;
  enum Column {
    kFileColumn,
    kStartColumn,
    kDurationColumn,
    kRecordsColumn,
    kDistanceColumn,
    kAltitudeColumn,
    kVoltageColumn,
    kColumnCount
  };

  void BuildPlots();
  void BuildPlotRow(std::size_t row, QCPMarginGroup* margins, const QFont& small);
  void BuildTrack();
  void SummariseNextFile();
  void OnTimeRangeChanged();
  void RefreshSeries();
  void RebuildTrack();
  void UpdateScaleBar();
  void UpdateCursor();
  void OnPlotClick(QMouseEvent* event);
  void OnTrackClick(QMouseEvent* event);
  void ResetZoom();
  void ShowWholeFlight();
  void FitTrack();

  const CLanguageManager& m_language;
  QLabel* m_folderLabel = nullptr;
  QTreeWidget* m_files = nullptr;
  QComboBox* m_colourBy = nullptr;
  QCustomPlot* m_plots = nullptr;
  QCustomPlot* m_track = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_cursorLabel = nullptr;

  std::vector<QCPAxisRect*> m_rects;
  std::vector<Series> m_series;
  std::vector<QCPItemStraightLine*> m_cursorLines;
  std::vector<QCPCurve*> m_trackCurves;
  QCPGraph* m_trackEnds = nullptr;
  QCPGraph* m_trackCursor = nullptr;
  QCPItemLine* m_scaleBar = nullptr;
  QCPItemText* m_scaleText = nullptr;
  std::vector<QCPItemText*> m_endLabels;
  QLabel* m_trackLegend = nullptr;
  // The track over the map (SetMapTiles): in place of the grid while on.
  void UpdateMapTrack();
  void UpdateMapCursor();
  QVBoxLayout* m_trackLayout = nullptr;
  QStackedWidget* m_trackStack = nullptr;
  apdesk::map::MapView* m_map = nullptr;
  QCheckBox* m_mapSwitch = nullptr;

  apdesk::FlightData m_flight;
  QString m_shownPath;
  std::size_t m_cursor = 0;
  std::vector<QString> m_pendingFiles;  // still to be summarised in the list
  QString m_folder;                     // the folder listed, whole
  QFileSystemWatcher* m_watcher = nullptr;
  QPoint m_pressPos;
  bool m_syncingRanges = false;
  apdesk::TrackExtent m_trackExtent;  // of the track drawn
};

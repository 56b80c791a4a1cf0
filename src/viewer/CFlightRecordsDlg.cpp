#include "viewer/CFlightRecordsDlg.h"

#include <qcustomplot.h>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QTimeZone>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/PlotSetup.h"

using apdesk::PlotQuantityId;

namespace {

// The rows of plots, top to bottom, and the quantities each one shows.
struct PlotRow {
  std::vector<PlotQuantityId> quantities;
  int titleId;  // a row of several takes its title from [flightrecords]; 0: the quantity's label
  const char* title;
};

const std::vector<PlotRow>& PlotRows() {
  static const std::vector<PlotRow> rows = {
      {{PlotQuantityId::kAltitude}, 0, nullptr},
      {{PlotQuantityId::kVoltage}, 0, nullptr},
      {{PlotQuantityId::kSatellites}, 0, nullptr},
      {{PlotQuantityId::kGroundSpeed}, 0, nullptr},
      {{PlotQuantityId::kCourse}, 0, nullptr},
      {{PlotQuantityId::kAttitudeUp, PlotQuantityId::kAttitudeLeft}, 1020, "Attitude"},
      {{PlotQuantityId::kRudder, PlotQuantityId::kElevator, PlotQuantityId::kThrottle,
        PlotQuantityId::kAileron},
       1021,
       "Sticks"},
      {{PlotQuantityId::kFlightStatus}, 0, nullptr},
  };
  return rows;
}

constexpr int kTrackBins = 8;
constexpr std::size_t kTrackPoints = 8000;  // drawn at most, whatever the flight's length
const QColor kStartColour(0, 150, 0);
const QColor kEndColour(200, 0, 0);

QString Seconds(double s) {
  const long long t = static_cast<long long>(std::llround(s));
  return QString::asprintf("%lld:%02lld:%02lld", t / 3600, t / 60 % 60, t % 60);
}

QString UtcText(double seconds, const char* format) {
  return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(seconds * 1000)), QTimeZone::utc())
      .toString(QString::fromLatin1(format));
}

}  // namespace

struct CFlightRecordsDlg::Series {
  QCPGraph* graph = nullptr;
  PlotQuantityId id{};
};

CFlightRecordsDlg::CFlightRecordsDlg(const CLanguageManager& texts, QWidget* parent)
    : QDialog(parent), m_language(texts) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(m_language.WindowText("flightrecords", 1000, "Flight Records"));

  auto* top = new QHBoxLayout;
  m_folderLabel = new QLabel(this);
  m_folderLabel->setObjectName(QStringLiteral("folder"));
  m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* open = new QPushButton(m_language.WindowText("flightrecords", 1001, "Open File..."), this);
  auto* reset = new QPushButton(m_language.WindowText("flightrecords", 1003, "Reset Zoom"), this);
  m_colourBy = new QComboBox(this);
  m_colourBy->addItem(m_language.WindowText("flightrecords", 1005, "Altitude"));
  m_colourBy->addItem(m_language.WindowText("flightrecords", 1006, "Ground speed"));
  top->addWidget(m_folderLabel, 1);
  top->addWidget(new QLabel(m_language.WindowText("flightrecords", 1004, "Colour track by:"), this));
  top->addWidget(m_colourBy);
  top->addWidget(reset);
  top->addWidget(open);

  m_files = new QTreeWidget(this);
  m_files->setRootIsDecorated(false);
  m_files->setColumnCount(kColumnCount);
  m_files->setHeaderLabels({m_language.WindowText("flightrecords", 1010, "File"),
                            m_language.WindowText("flightrecords", 1011, "Start (UTC)"),
                            m_language.WindowText("flightrecords", 1012, "Duration"),
                            m_language.WindowText("flightrecords", 1013, "Records"),
                            m_language.WindowText("flightrecords", 1014, "Distance"),
                            m_language.WindowText("flightrecords", 1015, "Highest Altitude"),
                            m_language.WindowText("flightrecords", 1016, "Lowest Voltage")});
  m_files->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_files->header()->setStretchLastSection(false);

  m_plots = new QCustomPlot(this);
  m_plots->setObjectName(QStringLiteral("flightPlots"));
  m_track = new QCustomPlot(this);
  m_track->setObjectName(QStringLiteral("flightTrack"));
  BuildPlots();

  auto* trackBox = new QWidget(this);
  auto* trackLayout = new QVBoxLayout(trackBox);
  m_trackLayout = trackLayout;
  trackLayout->setContentsMargins(0, 0, 0, 0);
  trackLayout->addWidget(m_track, 1);
  m_trackLegend = new QLabel(trackBox);
  m_trackLegend->setWordWrap(true);
  trackLayout->addWidget(m_trackLegend);

  auto* charts = new QSplitter(Qt::Horizontal, this);
  charts->addWidget(m_plots);
  charts->addWidget(trackBox);
  charts->setStretchFactor(0, 3);
  charts->setStretchFactor(1, 2);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(m_files);
  split->addWidget(charts);
  split->setStretchFactor(0, 1);
  split->setStretchFactor(1, 5);

  m_status = new QLabel(this);
  m_status->setWordWrap(true);
  m_cursorLabel = new QLabel(this);
  m_cursorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addWidget(m_cursorLabel);
  layout->addWidget(m_status);
  resize(1200, 800);

  connect(open, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, m_language.WindowText("flightrecords", 1001, "Open File..."),
                                     QString(), QStringLiteral("*.hj"));
    if (!path.isEmpty()) ShowFile(path);
  });
  connect(reset, &QPushButton::clicked, this, &CFlightRecordsDlg::ResetZoom);
  connect(m_colourBy, &QComboBox::currentIndexChanged, this, [this] {
    RebuildTrack();
    m_track->replot();
  });
  connect(m_files, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item != nullptr) ShowFile(item->data(kFileColumn, Qt::UserRole).toString());
  });
  connect(m_plots, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) { m_pressPos = e->pos(); });
  connect(m_plots, &QCustomPlot::mouseRelease, this, &CFlightRecordsDlg::OnPlotClick);
  connect(m_track, &QCustomPlot::mousePress, this, [this](QMouseEvent* e) { m_pressPos = e->pos(); });
  connect(m_track, &QCustomPlot::mouseRelease, this, &CFlightRecordsDlg::OnTrackClick);
}

CFlightRecordsDlg::~CFlightRecordsDlg() = default;

void CFlightRecordsDlg::BuildPlots() {
  // Legends only where a row has several series, each in its own row.
  m_plots->setAutoAddPlottableToLegend(false);
  m_plots->plotLayout()->clear();
  m_plots->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  m_plots->setNoAntialiasingOnDrag(true);
  m_plots->setNotAntialiasedElements(QCP::aePlottables);
  auto* margins = new QCPMarginGroup(m_plots);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  const auto& rows = PlotRows();
  for (std::size_t r = 0; r < rows.size(); ++r) {
    BuildPlotRow(r, margins, small);
  }
  BuildTrack();
}

// One strip of the plots: its axes, its name, its series and legend, the
// record cursor, and the time range it shares with the other strips.
void CFlightRecordsDlg::BuildPlotRow(std::size_t r, QCPMarginGroup* margins, const QFont& small) {
  const auto& rows = PlotRows();
  auto* rect = new QCPAxisRect(m_plots);
  m_plots->plotLayout()->addElement(static_cast<int>(r), 0, rect);
  rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
  rect->setRangeDrag(Qt::Horizontal);
  rect->setRangeZoom(Qt::Horizontal);
  rect->setMinimumMargins(QMargins(0, 2, 0, 2));
  QCPAxis* time = rect->axis(QCPAxis::atBottom);
  QCPAxis* value = rect->axis(QCPAxis::atLeft);
  apdesk::SetupTimeAxis(time, apdesk::TimeAxisKind::kUtcClock);
  time->setTickLabels(r + 1 == rows.size());
  time->setTickLabelFont(small);
  value->setTickLabelFont(small);
  value->setLabelFont(small);
  value->ticker()->setTickCount(3);
  const apdesk::PlotQuantity& first = apdesk::GetPlotQuantity(rows[r].quantities.front());
  // The row's name reads across its top left corner: a rotated axis title
  // is longer than a row is high and would be cut and run into the next.
  auto* title = new QCPItemText(m_plots);
  title->setClipToAxisRect(false);
  title->position->setType(QCPItemPosition::ptAxisRectRatio);
  title->position->setAxisRect(rect);
  title->position->setCoords(0, 0);
  title->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  title->setPadding(QMargins(3, 0, 3, 0));
  title->setFont(small);
  title->setBrush(QColor(255, 255, 255, 200));
  title->setText(rows[r].titleId != 0
                     ? m_language.WindowText("flightrecords", rows[r].titleId, rows[r].title)
                     : apdesk::PlotQuantityLabel(first, m_language.PublicTextForDisplay(first.languageKey)));
  for (PlotQuantityId id : rows[r].quantities) {
    const apdesk::PlotQuantity& q = apdesk::GetPlotQuantity(id);
    Series s;
    s.id = id;
    s.graph = apdesk::AddQuantityGraph(
        time, value, q, apdesk::PlotQuantityLabel(q, m_language.PublicTextForDisplay(q.languageKey)));
    s.graph->setAntialiased(false);
    s.graph->setAdaptiveSampling(false);  // the pyramid already thinned the points
    m_series.push_back(std::move(s));
  }
  if (rows[r].quantities.size() > 1) {
    auto* legend = new QCPLegend;
    rect->insetLayout()->addElement(legend, Qt::AlignTop | Qt::AlignRight);
    legend->setLayer(QStringLiteral("legend"));
    legend->setFont(small);
    legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    legend->setRowSpacing(0);
    legend->setColumnSpacing(6);
    legend->setBrush(QColor(255, 255, 255, 200));
    for (const Series& s : m_series)
      if (s.graph->valueAxis() == value) s.graph->addToLegend(legend);
  }
  auto* cursor = new QCPItemStraightLine(m_plots);
  cursor->setClipAxisRect(rect);
  cursor->point1->setAxes(time, value);
  cursor->point2->setAxes(time, value);
  cursor->setPen(QPen(QColor(0, 0, 0, 160), 1, Qt::DashLine));
  cursor->setVisible(false);
  m_cursorLines.push_back(cursor);
  m_rects.push_back(rect);
  connect(time, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this, time](const QCPRange& range) {
            if (m_syncingRanges) return;
            m_syncingRanges = true;
            for (QCPAxisRect* other : m_rects)
              if (other->axis(QCPAxis::atBottom) != time) other->axis(QCPAxis::atBottom)->setRange(range);
            m_syncingRanges = false;
            OnTimeRangeChanged();
          });
}

void CFlightRecordsDlg::BuildTrack() {
  m_track->setAutoAddPlottableToLegend(false);
  m_track->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  m_track->setNoAntialiasingOnDrag(true);
  m_track->xAxis->setLabel(m_language.WindowText("flightrecords", 1022, "East (m)"));
  m_track->yAxis->setLabel(m_language.WindowText("flightrecords", 1023, "North (m)"));
  m_trackEnds = m_track->addGraph();
  m_trackEnds->setLineStyle(QCPGraph::lsNone);
  m_trackEnds->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(0, 0, 0), 8));
  m_trackCursor = m_track->addGraph();
  m_trackCursor->setLineStyle(QCPGraph::lsNone);
  m_trackCursor->setScatterStyle(
      QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::black, 2.5), Qt::yellow, 12));
  for (int i = 0; i < 2; ++i) {
    auto* label = new QCPItemText(m_track);
    // Start above right of its point, end below left: apart when a flight ends where it began.
    label->setPositionAlignment(i == 0 ? Qt::AlignLeft | Qt::AlignBottom : Qt::AlignRight | Qt::AlignTop);
    label->setColor(i == 0 ? kStartColour : kEndColour);
    label->setText(i == 0 ? m_language.WindowText("flightrecords", 1024, "Start")
                          : m_language.WindowText("flightrecords", 1025, "End"));
    label->setVisible(false);
    m_endLabels.push_back(label);
  }
  m_scaleBar = new QCPItemLine(m_track);
  m_scaleBar->setPen(QPen(Qt::black, 3));
  m_scaleBar->setHead(QCPLineEnding::esBar);
  m_scaleBar->setTail(QCPLineEnding::esBar);
  m_scaleText = new QCPItemText(m_track);
  m_scaleText->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
  connect(m_track->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
          [this] { UpdateScaleBar(); });
}

void CFlightRecordsDlg::ShowFolder(const QString& hjFolder) {
  m_files->clear();
  m_pendingFiles.clear();
  m_folder = QDir(hjFolder).absolutePath();
  m_folderLabel->setText(
      m_language.WindowText("flightrecords", 1002, "Folder: %1").arg(QDir::toNativeSeparators(m_folder)));
  if (m_watcher == nullptr) {
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { RefreshFolder(); });
  }
  RefreshFolder();
}

void CFlightRecordsDlg::RefreshFolder() {
  // The folder itself, or, until the recorder makes it, the folder above.
  if (!m_watcher->directories().isEmpty()) m_watcher->removePaths(m_watcher->directories());
  const QString watched = QFileInfo(m_folder).isDir() ? m_folder : QFileInfo(m_folder).absolutePath();
  if (QFileInfo(watched).isDir()) m_watcher->addPath(watched);

  const QFileInfoList entries =
      QDir(m_folder).entryInfoList({QStringLiteral("*.hj")}, QDir::Files, QDir::Name | QDir::Reversed);
  QStringList paths;
  for (const QFileInfo& info : entries) paths << info.filePath();
  for (int i = m_files->topLevelItemCount() - 1; i >= 0; --i) {
    if (!paths.contains(m_files->topLevelItem(i)->data(kFileColumn, Qt::UserRole).toString()))
      delete m_files->takeTopLevelItem(i);
  }
  std::vector<QString> added;
  for (int row = 0; row < entries.size(); ++row) {
    const QString path = entries[row].filePath();
    QTreeWidgetItem* item = m_files->topLevelItem(row);
    if (item != nullptr && item->data(kFileColumn, Qt::UserRole).toString() == path) continue;
    item = new QTreeWidgetItem;
    item->setText(kFileColumn, entries[row].fileName());
    item->setData(kFileColumn, Qt::UserRole, path);
    m_files->insertTopLevelItem(row, item);
    added.push_back(path);
  }
  const QString none = m_language.WindowText("flightrecords", 1044, "No record files (*.hj) in %1")
                           .arg(QDir::toNativeSeparators(m_folder));
  if (entries.isEmpty()) {
    m_status->setText(none);
  } else if (m_status->text() == none) {
    m_status->clear();
  }
  if (added.empty()) return;
  const bool idle = m_pendingFiles.empty();
  // The list's top first.
  m_pendingFiles.insert(m_pendingFiles.begin(), added.rbegin(), added.rend());
  if (idle) QTimer::singleShot(0, this, &CFlightRecordsDlg::SummariseNextFile);
}

void CFlightRecordsDlg::SummariseNextFile() {
  if (m_pendingFiles.empty()) return;
  const QString path = m_pendingFiles.back();
  m_pendingFiles.pop_back();
  QTreeWidgetItem* item = nullptr;
  for (int i = 0; i < m_files->topLevelItemCount() && item == nullptr; ++i)
    if (m_files->topLevelItem(i)->data(kFileColumn, Qt::UserRole).toString() == path)
      item = m_files->topLevelItem(i);
  if (item != nullptr) {
    apdesk::FlightSummary s;
    std::string error;
    if (!apdesk::SummariseFlightFile(path.toStdString(), &s, &error)) {
      item->setText(kStartColumn, m_language.WindowText("flightrecords", 1046, "cannot be read"));
      item->setToolTip(kFileColumn, QString::fromStdString(error));
      item->setForeground(kStartColumn, kEndColour);
    } else {
      if (s.startUtc)
        item->setText(kStartColumn, UtcText(static_cast<double>(*s.startUtc), "yyyy-MM-dd hh:mm:ss"));
      if (s.startUtc && s.endUtc)
        item->setText(kDurationColumn, Seconds(static_cast<double>(*s.endUtc - *s.startUtc)));
      QString records = QString::number(s.records);
      if (s.skipped > 0)
        records +=
            QStringLiteral(" ") + m_language.WindowText("flightrecords", 1048, "(%1 damaged)").arg(s.skipped);
      item->setText(kRecordsColumn, records);
      if (s.fixes > 1) item->setText(kDistanceColumn, QString::asprintf("%.2f km", s.distanceMetres / 1000));
      if (s.highestAltitude) item->setText(kAltitudeColumn, QString::asprintf("%.1f m", *s.highestAltitude));
      if (s.lowestVolts) item->setText(kVoltageColumn, QString::asprintf("%.2f V", *s.lowestVolts));
      for (int c = 1; c < kColumnCount; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
  }
  if (!m_pendingFiles.empty()) QTimer::singleShot(0, this, &CFlightRecordsDlg::SummariseNextFile);
}

void CFlightRecordsDlg::ShowFile(const QString& path) {
  apdesk::FlightData flight;
  std::string error;
  if (!apdesk::LoadFlightFile(path.toStdString(), &flight, &error)) {
    m_status->setText(m_language.WindowText("flightrecords", 1045, "Cannot show %1: %2")
                          .arg(QFileInfo(path).fileName(), QString::fromStdString(error)));
    return;
  }
  m_flight = std::move(flight);
  m_shownPath = path;
  // Fixed value ranges per row (all of its series), so panning does not rescale.
  for (std::size_t r = 0; r < m_rects.size(); ++r) {
    QCPAxis* value = m_rects[r]->axis(QCPAxis::atLeft);
    float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
    for (const Series& s : m_series) {
      if (s.graph->valueAxis() != value) continue;
      const auto [seriesLo, seriesHi] = m_flight.ranges[static_cast<std::size_t>(s.id)];
      lo = std::min(lo, seriesLo);
      hi = std::max(hi, seriesHi);
    }
    if (lo > hi) lo = 0, hi = 1;
    const double pad = hi > lo ? (hi - lo) * 0.08 : 1.0;
    value->setRange(lo - pad, hi + pad);
    apdesk::SetupTimeAxis(m_rects[r]->axis(QCPAxis::atBottom),
                          m_flight.hasUtc ? apdesk::TimeAxisKind::kUtcClock : apdesk::TimeAxisKind::kElapsed);
  }
  const apdesk::FlightSummary& s = m_flight.summary;
  QString status = m_language.WindowText("flightrecords", 1040, "%1: %2 records")
                       .arg(QFileInfo(path).fileName())
                       .arg(s.records);
  if (s.skipped > 0)
    status += m_language.WindowText("flightrecords", 1041, ", %1 damaged records skipped").arg(s.skipped);
  if (s.trailingBytes > 0)
    status += m_language.WindowText("flightrecords", 1042, ", %1 trailing bytes ignored (a cut-off record)")
                  .arg(s.trailingBytes);
  if (s.fixes == 0)
    status += QStringLiteral(" ") +
              m_language.WindowText("flightrecords", 1043, "No GPS fix in this file: no track to show.");
  m_status->setText(status);
  m_cursor = 0;
  RebuildTrack();
  UpdateMapTrack();
  // The whole flight, its series worked out once and each plot drawn once.
  ShowWholeFlight();
  FitTrack();
  if (m_flight.Size() > 0) UpdateCursor();
  m_plots->replot();
  m_track->replot();
}

// The time axes over the whole flight, and its series worked out once for it.
void CFlightRecordsDlg::ShowWholeFlight() {
  if (m_flight.Size() > 0 && !m_rects.empty()) {
    const double first = m_flight.times.front(), last = m_flight.times.back();
    const QCPRange whole(first, last > first ? last : first + 1);
    m_syncingRanges = true;
    for (QCPAxisRect* rect : m_rects) rect->axis(QCPAxis::atBottom)->setRange(whole);
    m_syncingRanges = false;
  }
  RefreshSeries();
}

void CFlightRecordsDlg::ResetZoom() {
  ShowWholeFlight();
  FitTrack();
  m_plots->replot();
  m_track->replot();
}

void CFlightRecordsDlg::OnTimeRangeChanged() {
  RefreshSeries();
}

// Each series gets the points of the visible time range only, thinned to
// about two per pixel column: drawing then costs the same at any zoom.
void CFlightRecordsDlg::RefreshSeries() {
  if (m_flight.Size() == 0) {
    // Nothing of the file shown before stays on screen under this one's name.
    for (Series& s : m_series) s.graph->data()->clear();
    for (QCPItemStraightLine* line : m_cursorLines) line->setVisible(false);
    m_trackCursor->data()->clear();
    m_cursorLabel->clear();
    return;
  }
  const QCPRange range = m_rects.front()->axis(QCPAxis::atBottom)->range();
  const apdesk::FlightTimes& t = m_flight.times;
  std::size_t first = t.LowerBound(range.lower);
  std::size_t last = t.UpperBound(range.upper);
  first = first > 0 ? first - 1 : 0;  // one beyond each edge, so lines reach the border
  last = std::min(t.size(), last + 1);
  // A min and a max per bucket: about one point per pixel column.
  const std::size_t buckets = static_cast<std::size_t>(std::max(100, m_rects.front()->width() / 2));
  // Zoomed in far, the records shown are read again (whole kept buckets, so
  // every bucket drawn is whole); without them the kept levels stand in.
  std::vector<apdesk::FlightRecord> span;
  constexpr std::size_t kKept = apdesk::MinMaxPyramid::kKeptBucket;
  const std::size_t spanFirst = first / kKept * kKept;
  if (first < last && apdesk::MinMaxPyramid::NeedsRecords(last - first, buckets))
    m_flight.ReadRecords(spanFirst, (last + kKept - 1) / kKept * kKept, &span);
  std::vector<double> keys, values;
  for (Series& s : m_series) {
    m_flight.levels[static_cast<std::size_t>(s.id)].Points(apdesk::FlightColumn(span, s.id), spanFirst, t,
                                                           first, last, buckets, &keys, &values);
    QVector<QCPGraphData> points(static_cast<qsizetype>(keys.size()));
    for (std::size_t i = 0; i < keys.size(); ++i)
      points[static_cast<qsizetype>(i)] = QCPGraphData(keys[i], values[i]);
    s.graph->data()->set(points, true);
  }
}

void CFlightRecordsDlg::RebuildTrack() {
  for (QCPCurve* c : m_trackCurves) m_track->removePlottable(c);
  m_trackCurves.clear();
  m_trackEnds->data()->clear();
  for (QCPItemText* label : m_endLabels) label->setVisible(false);
  m_trackLegend->clear();
  m_trackExtent = {};
  const std::size_t n = m_flight.Size();
  if (n == 0 || m_flight.summary.fixes == 0) return;
  const bool bySpeed = m_colourBy->currentIndex() == 1;
  const PlotQuantityId colourBy = bySpeed ? PlotQuantityId::kGroundSpeed : PlotQuantityId::kAltitude;
  const auto colour = [&](std::size_t i) { return m_flight.TrackColour(colourBy, i); };
  m_trackExtent = m_flight.Extent(colourBy);  // FitTrack's box too
  const float lo = m_trackExtent.colourLo, hi = m_trackExtent.colourHi;
  const std::size_t firstFix = m_trackExtent.firstFix, lastFix = m_trackExtent.lastFix;
  const QCPRange colourRange(lo, hi > lo ? hi : lo + 1);
  QCPColorGradient gradient(QCPColorGradient::gpJet);
  std::vector<QVector<QCPCurveData>> bins(kTrackBins);
  std::vector<std::size_t> binEnds(kTrackBins, n);  // the record each bin's line ends at
  const std::size_t step = std::max<std::size_t>(1, m_flight.summary.fixes / kTrackPoints);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::size_t prev = n, since = 0;
  bool gap = false;
  for (std::size_t i = firstFix; i <= lastFix; ++i) {
    if (std::isnan(m_flight.east[i])) {
      gap = true;  // no fix: the line breaks here rather than jumping
      continue;
    }
    if (prev != n && !gap && ++since < step && i != lastFix) continue;
    if (prev != n && !gap) {
      const double share = (colour(i) - colourRange.lower) / colourRange.size();
      const int bin = std::clamp(static_cast<int>(share * kTrackBins), 0, kTrackBins - 1);
      // A bin's line goes on while its segments follow one another; else it
      // breaks (NaN) and starts again.
      QVector<QCPCurveData>& b = bins[static_cast<std::size_t>(bin)];
      std::size_t& end = binEnds[static_cast<std::size_t>(bin)];
      if (end != prev) {
        if (!b.isEmpty()) b.append(QCPCurveData(b.size(), nan, nan));
        b.append(QCPCurveData(b.size(), m_flight.east[prev], m_flight.north[prev]));
      }
      b.append(QCPCurveData(b.size(), m_flight.east[i], m_flight.north[i]));
      end = i;
    }
    prev = i;
    gap = false;
    since = 0;
  }
  for (int b = 0; b < kTrackBins; ++b) {
    auto* curve = new QCPCurve(m_track->xAxis, m_track->yAxis);
    const QRgb rgb =
        gradient.color(colourRange.lower + (b + 0.5) * colourRange.size() / kTrackBins, colourRange);
    QPen pen(QColor::fromRgba(rgb), 2);
    pen.setCosmetic(true);  // the same width at any zoom, and Qt's quicker path
    curve->setPen(pen);
    curve->setAntialiased(false);
    curve->data()->set(bins[static_cast<std::size_t>(b)], true);
    m_trackCurves.push_back(curve);
  }
  m_trackEnds->addData(m_flight.east[firstFix], m_flight.north[firstFix]);
  m_trackEnds->addData(m_flight.east[lastFix], m_flight.north[lastFix]);
  m_endLabels[0]->position->setCoords(m_flight.east[firstFix], m_flight.north[firstFix]);
  m_endLabels[1]->position->setCoords(m_flight.east[lastFix], m_flight.north[lastFix]);
  for (QCPItemText* label : m_endLabels) label->setVisible(true);
  const apdesk::PlotQuantity& q =
      apdesk::GetPlotQuantity(bySpeed ? PlotQuantityId::kGroundSpeed : PlotQuantityId::kAltitude);
  m_trackLegend->setText(
      m_language.WindowText("flightrecords", 1047, "%1: %2 (blue) to %3 (red)")
          .arg(apdesk::PlotQuantityLabel(q, m_language.PublicTextForDisplay(q.languageKey)))
          .arg(lo, 0, 'f', 1)
          .arg(hi, 0, 'f', 1));
}

// Equal scales east and north, the whole track in view.
void CFlightRecordsDlg::FitTrack() {
  const apdesk::TrackExtent& x = m_trackExtent;
  const double minE = x.minEast, maxE = x.maxEast, minN = x.minNorth, maxN = x.maxNorth;
  const QRect area = m_track->axisRect()->rect();
  const double w = std::max(50, area.width()), h = std::max(50, area.height());
  const double perPixel = std::max({(maxE - minE) * 1.1 / w, (maxN - minN) * 1.1 / h, 10.0 / w});
  const double ce = (minE + maxE) / 2, cn = (minN + maxN) / 2;
  m_track->xAxis->setRange(ce - perPixel * w / 2, ce + perPixel * w / 2);
  m_track->yAxis->setRange(cn - perPixel * h / 2, cn + perPixel * h / 2);
  UpdateScaleBar();
}

void CFlightRecordsDlg::UpdateScaleBar() {
  const QCPRange x = m_track->xAxis->range(), y = m_track->yAxis->range();
  // A round length near a fifth of the width: 1, 2 or 5 times a power of ten.
  const double target = x.size() / 5;
  if (!(target > 0)) return;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  double length = power;
  for (double f : {2.0, 5.0, 10.0})
    if (power * f <= target) length = power * f;
  const double left = x.lower + x.size() * 0.05, bottom = y.lower + y.size() * 0.06;
  m_scaleBar->start->setCoords(left, bottom);
  m_scaleBar->end->setCoords(left + length, bottom);
  m_scaleText->position->setCoords(left + length / 2, bottom + y.size() * 0.01);
  m_scaleText->setText(length >= 1000 ? QString::number(length / 1000) + QStringLiteral(" km")
                                      : QString::number(length) + QStringLiteral(" m"));
}

void CFlightRecordsDlg::SetCursorIndex(std::size_t index) {
  if (m_flight.Size() == 0) return;
  m_cursor = std::min(index, m_flight.Size() - 1);
  UpdateCursor();
  m_plots->replot();
  m_track->replot();
}

void CFlightRecordsDlg::UpdateCursor() {
  const double t = m_flight.times[m_cursor];
  for (QCPItemStraightLine* line : m_cursorLines) {
    line->point1->setCoords(t, 0);
    line->point2->setCoords(t, 1);
    line->setVisible(true);
  }
  m_trackCursor->data()->clear();
  const float e = m_flight.east[m_cursor], n = m_flight.north[m_cursor];
  if (!std::isnan(e)) m_trackCursor->addData(e, n);
  QString text = m_flight.hasUtc ? UtcText(t, "hh:mm:ss.zzz") : Seconds(t);
  // The values of the one record, read again (a file that no longer holds it shows none).
  std::vector<apdesk::FlightRecord> record;
  if (!m_flight.ReadRecords(m_cursor, m_cursor + 1, &record) || record.empty()) record.clear();
  for (PlotQuantityId id :
       {PlotQuantityId::kAltitude, PlotQuantityId::kVoltage, PlotQuantityId::kSatellites,
        PlotQuantityId::kGroundSpeed, PlotQuantityId::kCourse, PlotQuantityId::kFlightStatus}) {
    if (record.empty()) break;
    const apdesk::PlotQuantity& q = apdesk::GetPlotQuantity(id);
    const QString name = m_language.Text(q.languageKey, q.label);
    const int decimals = q.stepped ? 0 : (id == PlotQuantityId::kVoltage ? 3 : 1);
    text += QStringLiteral("   ") + name + QStringLiteral(" ") +
            QString::number(apdesk::PlottedValue(record.front(), id), 'f', decimals) +
            (q.unit[0] != '\0' ? QStringLiteral(" ") + QString::fromUtf8(q.unit) : QString());
  }
  if (std::isnan(e))
    text += QStringLiteral("   ") + m_language.WindowText("flightrecords", 1049, "(no GPS fix)");
  m_cursorLabel->setText(text);
  UpdateMapCursor();
}

QString CFlightRecordsDlg::StatusText() const {
  return m_status->text();
}

// A click (not a drag) in a plot puts the cursor at that time.
void CFlightRecordsDlg::OnPlotClick(QMouseEvent* event) {
  if ((event->pos() - m_pressPos).manhattanLength() > 3 || m_flight.Size() == 0) return;
  QCPAxisRect* rect = m_plots->axisRectAt(event->pos());
  if (rect == nullptr) return;
  SetCursorIndex(m_flight.IndexAt(rect->axis(QCPAxis::atBottom)->pixelToCoord(event->pos().x())));
}

// A click on the track puts the cursor at the nearest point with a fix.
void CFlightRecordsDlg::OnTrackClick(QMouseEvent* event) {
  if ((event->pos() - m_pressPos).manhattanLength() > 3 || m_flight.summary.fixes == 0) return;
  const double x = m_track->xAxis->pixelToCoord(event->pos().x());
  const double y = m_track->yAxis->pixelToCoord(event->pos().y());
  std::size_t best = 0;
  double bestDistance = std::numeric_limits<double>::max();
  for (std::size_t i = 0; i < m_flight.Size(); ++i) {
    const float e = m_flight.east[i];
    if (std::isnan(e)) continue;
    const double d = (e - x) * (e - x) + (m_flight.north[i] - y) * (m_flight.north[i] - y);
    if (d < bestDistance) bestDistance = d, best = i;
  }
  SetCursorIndex(best);
}

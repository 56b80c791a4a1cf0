#include "telemetryplots/CTelemetryPlotsDlg.h"

#include <qcustomplot.h>

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "plot/PlotSetup.h"

namespace {

// The strips, top to bottom, each with the live quantities it draws (indices
// into kLivePlotQuantities). The attitude and the sticks share a strip each.
const std::vector<std::size_t> kStrips[] = {{0}, {1}, {2}, {3}, {4, 5}, {6, 7, 8, 9}};

// The value axis spans what its graphs show, with a margin; a flat line sits
// in the middle of a small band rather than on the edge.
void FitValueAxis(QCustomPlot* plot) {
  QCPRange all;
  bool any = false;
  for (int g = 0; g < plot->graphCount(); ++g) {
    bool found = false;
    const QCPRange r = plot->graph(g)->getValueRange(found, QCP::sdBoth, plot->xAxis->range());
    if (!found) continue;
    if (any) {
      all.expand(r);
    } else {
      all = r;
      any = true;
    }
  }
  if (!any) return;
  const double pad = all.size() > 1e-9 ? all.size() * 0.08 : std::max(std::abs(all.center()) * 0.1, 1.0);
  plot->yAxis->setRange(all.lower - pad, all.upper + pad);
}

}  // namespace

CTelemetryPlotsDlg::CTelemetryPlotsDlg(const CLanguageManager& texts, QWidget* parent)
    : QDialog(parent), m_language(texts) {
  connect(&m_timer, &QTimer::timeout, this, [this] {
    if (isVisible()) Refresh();
  });
}

void CTelemetryPlotsDlg::Create() {
  if (m_built) return;
  m_built = true;
  setWindowTitle(m_language.Text("LID_TELEMETRY_CAPTION", "Telemetry"));
  m_pauseText = m_language.Text("LID_TELEMETRY_PAUSE", "Pause");
  m_resumeText = m_language.Text("LID_TELEMETRY_RESUME", "Resume");

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  bar->addWidget(new QLabel(m_language.Text("LID_TELEMETRY_SPAN", "Show the last"), this));
  m_span = new QComboBox(this);
  const QString minutes = m_language.Text("LID_TELEMETRY_MINUTES", "%1 minutes");
  for (int m : kSpanMinutes)
    m_span->addItem(minutes.contains(QLatin1String("%1")) ? minutes.arg(m) : QString::number(m), m);
  bar->addWidget(m_span);
  bar->addStretch(1);
  m_pause = new QPushButton(m_pauseText, this);
  bar->addWidget(m_pause);
  layout->addLayout(bar);

  for (const std::vector<std::size_t>& strip : kStrips) {
    QCustomPlot* plot = AddStrip();
    layout->addWidget(plot, static_cast<int>(strip.size() > 1 ? 3 : 2));
    for (std::size_t i : strip) {
      const apdesk::PlotQuantity& q = apdesk::GetPlotQuantity(apdesk::kLivePlotQuantities[i]);
      const QString label = apdesk::PlotQuantityLabel(q, m_language.Text(q.languageKey));
      m_graphs[i] = apdesk::AddQuantityGraph(plot, q, label);
    }
    // Each strip names its lines in a row of its own above the plot: a strip
    // is too low for a rotated axis title, and a legend inside would cover
    // the first seconds drawn.
    plot->legend->setVisible(true);
    plot->legend->setFont(font());
    plot->legend->setBorderPen(Qt::NoPen);
    plot->legend->setRowSpacing(0);
    plot->legend->setColumnSpacing(12);
    plot->axisRect()->insetLayout()->take(plot->legend);
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, plot->legend);
    plot->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst, true);
    plot->legend->setMargins(QMargins(0, 0, 0, 0));
    plot->plotLayout()->setRowStretchFactor(0, 0.001);
    plot->plotLayout()->setRowSpacing(0);
  }
  // The same width for every value axis, so the time axes line up.
  const int valueAxisWidth = fontMetrics().horizontalAdvance(QStringLiteral("-00000.0")) + 12;
  for (QCustomPlot* plot : m_plots) {
    plot->axisRect()->setAutoMargins(QCP::msTop | QCP::msBottom | QCP::msRight);
    plot->axisRect()->setMargins(QMargins(valueAxisWidth, 0, 0, 0));
  }

  connect(m_span, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) SetSpanMinutes(m_span->itemData(index).toInt());
  });
  connect(m_pause, &QPushButton::clicked, this, [this] { SetPaused(!m_paused); });
  resize(760, 820);
}

QCustomPlot* CTelemetryPlotsDlg::AddStrip() {
  auto* plot = new QCustomPlot(this);
  apdesk::SetupTimeAxis(plot, apdesk::TimeAxisKind::kElapsed);
  // Looking closer at a paused chart: drag and wheel along the time axis.
  plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  plot->axisRect()->setRangeDrag(Qt::Horizontal);
  plot->axisRect()->setRangeZoom(Qt::Horizontal);
  plot->setMinimumHeight(90);
  // Without smoothing a dense strip costs a fraction to draw, and a strip
  // chart's lines read as well.
  plot->setNotAntialiasedElements(QCP::aeAll);
  plot->xAxis->setRange(0, m_spanMinutes * 60.0);
  m_plots.push_back(plot);
  return plot;
}

void CTelemetryPlotsDlg::showEvent(QShowEvent* event) {
  Create();
  m_rebuild = true;
  Refresh();
  m_timer.start(kRedrawMs);
  QDialog::showEvent(event);
}

void CTelemetryPlotsDlg::AddStatusSentence(const std::uint8_t* s99, qint64 nowMs) {
  m_history.AddStatusSentence(s99, nowMs);
}

void CTelemetryPlotsDlg::SetSpanMinutes(int minutes) {
  const int* known = std::find(std::begin(kSpanMinutes), std::end(kSpanMinutes), minutes);
  if (known == std::end(kSpanMinutes) || minutes == m_spanMinutes) return;
  m_spanMinutes = minutes;
  if (m_span != nullptr) m_span->setCurrentIndex(static_cast<int>(known - std::begin(kSpanMinutes)));
  m_rebuild = true;
  Refresh();
}

void CTelemetryPlotsDlg::SetPaused(bool paused) {
  m_paused = paused;
  if (m_pause != nullptr) m_pause->setText(paused ? m_resumeText : m_pauseText);
  // The history went on while paused; the graphs are refilled from it.
  if (!paused) {
    m_rebuild = true;
    Refresh();
  }
}

void CTelemetryPlotsDlg::Refresh() {
  Create();
  if (m_paused) return;
  if (!m_rebuild && m_history.Added() == m_drawnAdded) return;
  const std::deque<apdesk::TelemetryPoint>& points = m_history.Points();
  // Times in whole ms, so a point exactly at the span's edge is kept on both
  // sides alike.
  const std::int64_t spanMs = static_cast<std::int64_t>(m_spanMinutes) * 60 * 1000;
  const std::int64_t nowMs = m_history.LatestMs();
  const double span = static_cast<double>(spanMs) / 1000.0;
  const double now = static_cast<double>(nowMs) / 1000.0;
  const double from = static_cast<double>(nowMs - spanMs) / 1000.0;

  std::size_t first = m_history.FirstAtOrAfter(nowMs - spanMs);
  if (m_rebuild) {
    for (QCPGraph* g : m_graphs)
      if (g != nullptr) g->data()->clear();
  } else {
    const std::uint64_t fresh = std::min<std::uint64_t>(m_history.Added() - m_drawnAdded, points.size());
    first = std::max(first, points.size() - static_cast<std::size_t>(fresh));
  }
  m_rebuild = false;
  m_drawnAdded = m_history.Added();

  if (first < points.size()) {
    QVector<double> keys;
    keys.reserve(static_cast<qsizetype>(points.size() - first));
    for (std::size_t p = first; p < points.size(); ++p) keys.push_back(points[p].seconds);
    QVector<double> values(keys.size());
    for (std::size_t i = 0; i < apdesk::kLivePlotCount; ++i) {
      for (std::size_t p = first; p < points.size(); ++p)
        values[static_cast<qsizetype>(p - first)] = points[p].values[i];
      if (m_graphs[i] != nullptr) m_graphs[i]->addData(keys, values, true);
    }
  }
  for (QCPGraph* g : m_graphs)
    if (g != nullptr) g->data()->removeBefore(from);

  // A young history fills the span from the left, as a strip chart does.
  const double left = now < span ? 0.0 : from;
  for (QCustomPlot* plot : m_plots) {
    plot->xAxis->setRange(left, left + span);
    FitValueAxis(plot);
    plot->replot(QCustomPlot::rpImmediateRefresh);
  }
  ++m_redraws;
}

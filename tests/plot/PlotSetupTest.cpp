// The shared plot set-up: graphs in their quantity's colour and line style,
// labels from the language file with the English fallback, and the time axis.

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <ctime>

#include "app/QtTestApp.h"
#include "common/ScopedEnv.h"
#include "plot/PlotSetup.h"

namespace apdesk {
namespace {

TEST(PlotSetup, GraphsTakeTheirQuantitysColourAndStyle) {
  test::TestApp();
  QCustomPlot plot;
  QCPAxis* right = plot.yAxis2;
  for (const PlotQuantity& q : PlotQuantities()) {
    QCPGraph* g = AddQuantityGraph(&plot, q, QString::fromUtf8(q.label), q.stepped ? right : nullptr);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->pen().color().rgba(), q.argb) << q.name;
    EXPECT_EQ(g->lineStyle(), q.stepped ? QCPGraph::lsStepLeft : QCPGraph::lsLine) << q.name;
    EXPECT_EQ(g->valueAxis(), q.stepped ? right : plot.yAxis) << q.name;
    EXPECT_EQ(g->keyAxis(), plot.xAxis);
    EXPECT_EQ(g->name(), QString::fromUtf8(q.label));
  }
  EXPECT_EQ(plot.graphCount(), static_cast<int>(PlotQuantities().size()));
}

TEST(PlotSetup, LabelsPreferTheLanguageFileAndCarryTheUnit) {
  const PlotQuantity& altitude = GetPlotQuantity(PlotQuantityId::kAltitude);
  const PlotQuantity& satellites = GetPlotQuantity(PlotQuantityId::kSatellites);
  EXPECT_EQ(PlotQuantityLabel(altitude, QString()), QStringLiteral("Altitude (m)"));
  EXPECT_EQ(PlotQuantityLabel(altitude, QStringLiteral("高度")), QStringLiteral("高度 (m)"));
  EXPECT_EQ(PlotQuantityLabel(satellites, QString()), QStringLiteral("Satellites"));
}

// Draws the plot and returns the bottom axis's tick labels.
QVector<QString> TickLabels(QCustomPlot& plot) {
  plot.resize(600, 300);
  plot.replot();
  return plot.xAxis->tickVectorLabels();
}

TEST(PlotSetup, TimeAxisShowsTheRecordsUtcClockOrTheElapsedTime) {
  test::TestApp();
  ::test::ScopedEnv tz("TZ", "Asia/Shanghai");  // eight hours off UTC: the clock must not follow it
  ::tzset();
  QCustomPlot clock;
  SetupTimeAxis(&clock, TimeAxisKind::kUtcClock);
  const double t0 = 1394011800.0;  // 2014-03-05T09:30:00Z
  clock.xAxis->setRange(t0, t0 + 60);
  const QVector<QString> labels = TickLabels(clock);
  ASSERT_FALSE(labels.isEmpty());
  EXPECT_TRUE(labels.contains(QStringLiteral("09:30:30"))) << labels.join(' ').toStdString();

  QCustomPlot elapsed;
  SetupTimeAxis(&elapsed, TimeAxisKind::kElapsed);
  elapsed.xAxis->setRange(0, 180);
  const QVector<QString> minutes = TickLabels(elapsed);
  EXPECT_TRUE(minutes.contains(QStringLiteral("02:00"))) << minutes.join(' ').toStdString();
}

}  // namespace
}  // namespace apdesk

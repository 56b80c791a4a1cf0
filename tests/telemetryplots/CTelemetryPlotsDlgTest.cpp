// The telemetry plots window fed records: points per series, the span, pause.
#include "telemetryplots/CTelemetryPlotsDlg.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>

#include <QComboBox>
#include <QPushButton>

#include "app/QtTestApp.h"
#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "telemetryplots/StatusRecords.h"

namespace apdesk {
namespace {

const std::string kResources = std::string(APDESK_SOURCE_DIR) + "/resources/";

class TelemetryPlotsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dlg.Create();
    dlg.show();
  }
  // Records first..last-1, 20 ms apart (50 Hz).
  void Feed(int first, int last) {
    for (int i = first; i < last; ++i) dlg.AddStatusSentence(testing::StatusRecord(i).data(), 1000 + i * 20);
  }
  void ExpectEveryGraphHolds(int points) {
    for (std::size_t i = 0; i < kLivePlotCount; ++i) {
      ASSERT_NE(dlg.Graph(i), nullptr) << i;
      EXPECT_EQ(dlg.Graph(i)->dataCount(), points) << GetPlotQuantity(kLivePlotQuantities[i]).name;
    }
  }
  QApplication& app = test::TestApp();  // before any widget
  const CLanguageManager texts = testsupport::LoadedTexts(kResources, false);
  CTelemetryPlotsDlg dlg{texts};
};

TEST_F(TelemetryPlotsWindow, ShowsEveryRecordOncePerSeriesAndDrawsOnlyWhenRecordsArrived) {
  EXPECT_EQ(dlg.windowTitle(), "Telemetry");
  EXPECT_EQ(dlg.Plots().size(), 6u);
  Feed(0, 100);
  dlg.Refresh();
  ExpectEveryGraphHolds(100);
  // In the order of the records, with their values.
  const QCPGraphDataContainer& altitude = *dlg.Graph(0)->data();
  EXPECT_DOUBLE_EQ(altitude.at(0)->key, 0.0);
  EXPECT_DOUBLE_EQ(altitude.at(99)->key, 99 * 0.02);
  EXPECT_DOUBLE_EQ(altitude.at(99)->value, 9.9);
  EXPECT_DOUBLE_EQ(dlg.Graph(3)->data()->at(50)->value, 5.0);  // ground speed, m/s
  EXPECT_EQ(dlg.Graph(0)->name(), "Altitude (m)");
  EXPECT_EQ(dlg.Graph(8)->name(), "Throttle");

  const std::uint64_t redraws = dlg.Redraws();
  dlg.Refresh();  // nothing new: nothing drawn
  EXPECT_EQ(dlg.Redraws(), redraws);
  Feed(100, 150);
  dlg.Refresh();
  EXPECT_EQ(dlg.Redraws(), redraws + 1);
  ExpectEveryGraphHolds(150);  // the new ones appended, none twice
}

TEST_F(TelemetryPlotsWindow, DropsWhatIsOlderThanTheSpanAndAWiderSpanBringsItBack) {
  ASSERT_EQ(dlg.SpanMinutes(), 2);
  // Three minutes of records, drawn as they come in a few times a second.
  for (int second = 0; second < 180; ++second) {
    Feed(second * 50, (second + 1) * 50);
    if (second % 7 == 0) dlg.Refresh();
  }
  dlg.Refresh();
  const int total = 180 * 50;
  ExpectEveryGraphHolds(120 * 50 + 1);  // two minutes and the point at the edge
  const double now = (total - 1) * 0.02;
  EXPECT_NEAR(dlg.Plots()[0]->xAxis->range().upper, now, 1e-9);
  EXPECT_NEAR(dlg.Plots()[0]->xAxis->range().lower, now - 120, 1e-9);
  EXPECT_NEAR(dlg.Graph(0)->data()->at(0)->key, now - 120, 1e-9);

  dlg.SpanChoice()->setCurrentIndex(1);  // five minutes: all three come back from the history
  EXPECT_EQ(dlg.SpanMinutes(), 5);
  ExpectEveryGraphHolds(total);
  testing::KeepScreenshot(&dlg, "telemetry-plots");
  dlg.SetSpanMinutes(7);  // not offered: ignored
  EXPECT_EQ(dlg.SpanMinutes(), 5);
  dlg.SetSpanMinutes(2);
  ExpectEveryGraphHolds(120 * 50 + 1);
}

TEST_F(TelemetryPlotsWindow, PauseFreezesTheChartsAndResumeShowsWhatCameMeanwhile) {
  Feed(0, 50);
  dlg.Refresh();
  dlg.PauseButton()->click();
  EXPECT_TRUE(dlg.Paused());
  EXPECT_EQ(dlg.PauseButton()->text(), "Resume");
  const std::uint64_t redraws = dlg.Redraws();
  Feed(50, 80);
  dlg.Refresh();
  EXPECT_EQ(dlg.Redraws(), redraws);
  ExpectEveryGraphHolds(50);
  dlg.PauseButton()->click();
  EXPECT_FALSE(dlg.Paused());
  EXPECT_EQ(dlg.PauseButton()->text(), "Pause");
  ExpectEveryGraphHolds(80);
}

TEST(TelemetryPlotsWindowLanguage, ChineseTexts) {
  test::TestApp();
  const CLanguageManager dlgTexts = testsupport::LoadedTexts(kResources, true);
  CTelemetryPlotsDlg dlg(dlgTexts);
  dlg.Create();
  dlg.show();
  for (int i = 0; i < 3000; ++i) dlg.AddStatusSentence(testing::StatusRecord(i).data(), i * 20);
  dlg.Refresh();
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("遥测曲线"));
  EXPECT_EQ(dlg.PauseButton()->text(), QString::fromUtf8("暂停"));
  EXPECT_EQ(dlg.SpanChoice()->itemText(2), QString::fromUtf8("10 分钟"));
  EXPECT_EQ(dlg.Graph(0)->name(), QString::fromUtf8("高度 (m)"));
  testing::KeepScreenshot(&dlg, "telemetry-plots-chinese");
}

}  // namespace
}  // namespace apdesk

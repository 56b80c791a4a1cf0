// What the live plots keep: every record's values, for ten minutes.
#include "telemetryplots/TelemetryHistory.h"

#include <gtest/gtest.h>

#include "telemetryplots/StatusRecords.h"

namespace apdesk {
namespace {

std::size_t IndexOf(PlotQuantityId id) {
  for (std::size_t i = 0; i < kLivePlotCount; ++i)
    if (kLivePlotQuantities[i] == id) return i;
  return kLivePlotCount;
}

TEST(TelemetryHistory, KeepsEachRecordsValuesAndDropsWhatIsOlderThanTenMinutes) {
  TelemetryHistory h;
  EXPECT_EQ(h.LatestMs(), 0);
  // Eleven minutes at 50 Hz, starting at an arbitrary steady-clock time.
  const std::int64_t start = 123456789;
  const int n = 11 * 60 * 50;
  for (int i = 0; i < n; ++i) h.AddStatusSentence(testing::StatusRecord(i).data(), start + i * 20);
  EXPECT_EQ(h.Added(), static_cast<std::uint64_t>(n));
  // Ten minutes and the point exactly at the edge.
  EXPECT_EQ(h.Points().size(), static_cast<std::size_t>(10 * 60 * 50 + 1));
  EXPECT_EQ(h.LatestMs(), (n - 1) * 20);
  EXPECT_DOUBLE_EQ(h.Points().back().seconds, (n - 1) * 0.02);
  EXPECT_EQ(h.Points().front().ms, h.LatestMs() - 600 * 1000);

  const TelemetryPoint& last = h.Points().back();
  const int i = n - 1;
  EXPECT_DOUBLE_EQ(last.values[IndexOf(PlotQuantityId::kAltitude)], (i % 30000) / 10.0);
  EXPECT_DOUBLE_EQ(last.values[IndexOf(PlotQuantityId::kSatellites)], 5 + i % 7);
  EXPECT_DOUBLE_EQ(last.values[IndexOf(PlotQuantityId::kThrottle)], i % 256);
  EXPECT_DOUBLE_EQ(last.values[IndexOf(PlotQuantityId::kGroundSpeed)], 5.0);
  for (PlotQuantityId id : kLivePlotQuantities) EXPECT_LT(IndexOf(id), kLivePlotCount);

  EXPECT_EQ(h.FirstAtOrAfter(h.LatestMs() + 1), h.Points().size());
  EXPECT_EQ(h.FirstAtOrAfter(0), 0u);
  const std::size_t twoMinutes = h.FirstAtOrAfter(h.LatestMs() - 120 * 1000);
  EXPECT_EQ(h.Points().size() - twoMinutes, static_cast<std::size_t>(120 * 50 + 1));
}

TEST(TelemetryHistory, AClockThatGoesBackKeepsThePointsInOrder) {
  TelemetryHistory h;
  h.AddStatusSentence(testing::StatusRecord(0).data(), 5000);
  h.AddStatusSentence(testing::StatusRecord(1).data(), 6000);
  h.AddStatusSentence(testing::StatusRecord(2).data(), 1000);  // back: taken as 6000
  h.AddStatusSentence(nullptr, 7000);                          // nothing to take
  ASSERT_EQ(h.Points().size(), 3u);
  EXPECT_EQ(h.Points()[0].ms, 0);
  EXPECT_EQ(h.Points()[1].ms, 1000);
  EXPECT_EQ(h.Points()[2].ms, 1000);
  EXPECT_EQ(h.Points()[2].seconds, 1.0);
}

}  // namespace
}  // namespace apdesk

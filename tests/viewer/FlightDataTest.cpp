// The viewer's numbers: times spread within their second, columns and track
// from a record file (with gaps where there is no fix), the summary, and the
// min/max thinning that keeps every peak.

#include "viewer/FlightData.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "viewer/FlightRecordBytes.h"

namespace apdesk {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

TEST(FlightData, TimesSpreadWithinSeconds) {
  struct Case {
    const char* what;
    std::vector<double> in, out;  // NaN: no time
    bool hasTime;
  } cases[] = {
      {"none", {}, {}, false},
      {"no time at all: ten a second", {kNan, kNan, kNan}, {0, 0.1, 0.2}, false},
      {"evenly within each second", {5, 5, 6, 6, 6, 7}, {5, 5.5, 6, 6 + 1 / 3.0, 6 + 2 / 3.0, 7}, true},
      {"unknown ones join the second before, or the first known",
       {kNan, 5, kNan, 6, kNan},
       {5, 5 + 1 / 3.0, 5 + 2 / 3.0, 6, 6.5},
       true},
      {"a clock that steps back starts a run of its own", {6, 6, 5, 5}, {6, 6.5, 5, 5.5}, true},
  };
  for (Case& c : cases) {
    FlightTimes times;
    for (double v : c.in)
      times.Add(std::isnan(v) ? std::nullopt : std::optional<long long>(static_cast<long long>(v)));
    EXPECT_EQ(times.Finish(), c.hasTime) << c.what;
    ASSERT_EQ(times.size(), c.out.size()) << c.what;
    for (std::size_t i = 0; i < c.out.size(); ++i)
      EXPECT_NEAR(times[i], c.out[i], 1e-9) << c.what << " at " << i;
  }
  // Finding a time: as lower_bound and upper_bound over all the times.
  FlightTimes times;
  for (long long s : {7, 7, 7, 8, 9, 9}) times.Add(s);
  times.Finish();
  std::vector<double> all;
  for (std::size_t i = 0; i < times.size(); ++i) all.push_back(times[i]);
  for (double t : {6.0, 7.0, 7.2, 7.5, 8.0, 8.9, 9.5, 10.0}) {
    EXPECT_EQ(times.LowerBound(t),
              static_cast<std::size_t>(std::lower_bound(all.begin(), all.end(), t) - all.begin()))
        << t;
    EXPECT_EQ(times.UpperBound(t),
              static_cast<std::size_t>(std::upper_bound(all.begin(), all.end(), t) - all.begin()))
        << t;
  }
}

class FlightFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/apdesk-flight-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = name;
  }
  void TearDown() override { unlink(path_.c_str()); }
  std::string path_;
};

TEST_F(FlightFile, ColumnsTrackAndSummary) {
  using test::FlightPoint;
  test::Bytes file;
  // Second 0: three records going 100 m north; second 1: two without a fix,
  // then one 100 m further east; a damaged record and a cut-off tail.
  test::Append(file, test::FlightRecord({0, 0, true, 0, 100, 2458}));
  test::Append(file, test::FlightRecord({50, 0, true, 0, 200, 2400}));
  test::Append(file, test::FlightRecord({100, 0, true, 0, 1500, 2300}));
  test::Bytes damaged = test::FlightRecord({0, 0, true, 1, 30000, 100});
  damaged[60] ^= 0x40;
  test::Append(file, damaged);
  test::Append(file, test::FlightRecord({0, 0, false, 1, 300, 2350}));
  test::Append(file, test::FlightRecord({0, 0, false, 1, 400, 2360}));
  test::Append(file, test::FlightRecord({100, 100, true, 1, -50, 2370}));
  const test::Bytes tail = test::FlightRecord({});
  file.insert(file.end(), tail.begin(), tail.begin() + 30);
  test::WriteFile(path_, file);

  FlightData d;
  std::string error;
  ASSERT_TRUE(LoadFlightFile(path_, &d, &error)) << error;
  ASSERT_EQ(d.Size(), 6u);
  EXPECT_TRUE(d.hasUtc);
  const double t0 = 1714550400;  // 2024-05-01 08:00:00 UTC
  const double times[] = {t0, t0 + 1 / 3.0, t0 + 2 / 3.0, t0 + 1, t0 + 1 + 1 / 3.0, t0 + 1 + 2 / 3.0};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(d.times[i], times[i], 1e-6) << i;
  const float altitude[] = {10.0f, 20.0f, 150.0f, 30.0f, 40.0f, -5.0f};
  std::vector<FlightRecord> records;
  ASSERT_TRUE(d.ReadRecords(0, 6, &records));  // read again, the damaged one still skipped
  ASSERT_EQ(records.size(), 6u);
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_FLOAT_EQ(PlottedValue(records[i], PlotQuantityId::kAltitude), altitude[i]) << i;
    EXPECT_FLOAT_EQ(d.TrackColour(PlotQuantityId::kAltitude, i), altitude[i]) << i;
  }
  EXPECT_FLOAT_EQ(PlottedValue(records[3], PlotQuantityId::kSatellites), 0.0f);
  ASSERT_TRUE(d.ReadRecords(4, 5, &records));
  EXPECT_FLOAT_EQ(PlottedValue(records.at(0), PlotQuantityId::kAltitude), altitude[4]);
  EXPECT_EQ(d.ranges[0], std::make_pair(-5.0f, 150.0f));
  // The track: metres from the first fix, and gaps (not 0,0) without a fix.
  EXPECT_NEAR(d.north[1], 50, 0.2);
  EXPECT_NEAR(d.north[2], 100, 0.2);
  EXPECT_TRUE(std::isnan(d.east[3]) && std::isnan(d.north[3]));
  EXPECT_TRUE(std::isnan(d.east[4]) && std::isnan(d.north[4]));
  EXPECT_NEAR(d.east[5], 100, 1.0);  // a float longitude resolves about 0.8 m here
  EXPECT_NEAR(d.originLatitude, 22.5, 1e-5);
  // The track's extent: fixes 0..5 (3 and 4 without), by altitude and by speed.
  for (PlotQuantityId by : {PlotQuantityId::kAltitude, PlotQuantityId::kGroundSpeed}) {
    const TrackExtent x = d.Extent(by);
    EXPECT_EQ(x.firstFix, 0u);
    EXPECT_EQ(x.lastFix, 5u);
    EXPECT_EQ(x.minNorth, d.north[0]);
    EXPECT_EQ(x.maxNorth, std::max({d.north[1], d.north[2], d.north[5]}));
    EXPECT_EQ(x.maxEast, d.east[5]);
    float lo = d.TrackColour(by, 0), hi = lo;
    for (std::size_t i : {1, 2, 5})
      lo = std::min(lo, d.TrackColour(by, i)), hi = std::max(hi, d.TrackColour(by, i));
    EXPECT_EQ(x.colourLo, lo);
    EXPECT_EQ(x.colourHi, hi);
  }
  EXPECT_EQ(d.Extent(PlotQuantityId::kAltitude).colourLo, -5.0f);  // 30 and 40 m have no fix
  EXPECT_EQ(d.Extent(PlotQuantityId::kAltitude).colourHi, 150.0f);

  const FlightSummary& s = d.summary;
  EXPECT_EQ(s.records, 6u);
  EXPECT_EQ(s.skipped, 1u);
  EXPECT_EQ(s.trailingBytes, 30u);
  EXPECT_EQ(s.fixes, 4u);
  EXPECT_NEAR(s.distanceMetres, 200, 1.5);  // 50 + 50 north, then 100 east
  EXPECT_EQ(s.startUtc, 1714550400);
  EXPECT_EQ(s.endUtc, 1714550401);
  EXPECT_DOUBLE_EQ(*s.highestAltitude, 150.0);
  EXPECT_DOUBLE_EQ(*s.lowestVolts, 2300 * 20 / 4096.0);
  EXPECT_EQ(d.IndexAt(t0 + 0.4), 1u);
  EXPECT_EQ(d.IndexAt(t0 - 100), 0u);
  EXPECT_EQ(d.IndexAt(t0 + 100), 5u);

  FlightSummary listed;
  ASSERT_TRUE(SummariseFlightFile(path_, &listed, &error)) << error;
  EXPECT_EQ(listed.records, s.records);
  EXPECT_EQ(listed.skipped, s.skipped);
  EXPECT_DOUBLE_EQ(listed.distanceMetres, s.distanceMetres);
  EXPECT_EQ(listed.fileBytes, file.size());
}

TEST_F(FlightFile, WhatCannotBeShownSaysWhy) {
  FlightData d;
  std::string error;
  EXPECT_FALSE(LoadFlightFile("/tmp", &d, &error));
  EXPECT_EQ(error, "/tmp: a directory, not a record file");
  EXPECT_FALSE(LoadFlightFile("/nonexistent.hj", &d, &error));
  // Not a record file at all: nothing shown as data, all of it counted as damage.
  test::WriteFile(path_, test::Bytes(1000, 'x'));
  ASSERT_TRUE(LoadFlightFile(path_, &d, &error)) << error;
  EXPECT_EQ(d.Size(), 0u);
  EXPECT_EQ(d.summary.skipped, 10u);
  EXPECT_EQ(d.summary.trailingBytes, 10u);
  EXPECT_EQ(d.IndexAt(0), 0u);
}

// At every zoom each bucket drawn holds exactly the min and max of its
// records, whether it comes from a kept level or from the records read again.
// Loading works out every quantity's levels and range at once; they must be
// those of the quantity's own column to the bit, NaN, infinities and the
// sign of zero included (a course is a float from the file).
TEST_F(FlightFile, LoadedLevelsAreThoseOfEachColumn) {
  std::mt19937 gen(3);
  std::uniform_int_distribution<int> byte(0, 255), word(0, 65535);
  std::uniform_real_distribution<float> angle(-4, 4);
  const float inf = std::numeric_limits<float>::infinity();
  test::Bytes file;
  constexpr int kRecords = 1000;  // 15 whole kept buckets and a short one
  for (int i = 0; i < kRecords; ++i) {
    test::Bytes r =
        test::FlightRecord({static_cast<double>(i), 0, i % 7 != 0, i / 50, word(gen) - 32768, word(gen)});
    float course = angle(gen);
    if (i == 72 || i == 300) course = std::numeric_limits<float>::quiet_NaN();  // 72: first of a group of 8
    if (i == 130) course = inf;
    if (i == 131) course = -inf;
    if (i >= 640 && i < 704) course = i % 2 == 0 ? 0.0f : -0.0f;
    if (i == 705) course = -0.0f;
    test::PutFloat(r, 20, course);
    for (int at : {32, 33, 34, 35, 50, 51, 75, 94, 95})
      r[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(byte(gen));
    test::PutS32(r, 62, word(gen) * 1000 - 30000000);
    test::PutS32(r, 66, -word(gen));
    test::PutSum(r);
    test::Append(file, r);
  }
  test::WriteFile(path_, file);
  FlightData d;
  std::string error;
  ASSERT_TRUE(LoadFlightFile(path_, &d, &error)) << error;
  std::vector<FlightRecord> records;
  ASSERT_TRUE(d.ReadRecords(0, kRecords, &records));
  ASSERT_EQ(records.size(), static_cast<std::size_t>(kRecords));
  const auto same = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  for (std::size_t q = 0; q < kPlotQuantityCount; ++q) {
    const auto id = static_cast<PlotQuantityId>(q);
    MinMaxPyramid column;
    column.Build(FlightColumn(records, id));
    float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
    for (const FlightRecord& r : records) {
      const float v = PlottedValue(r, id);
      if (std::isfinite(v) && v < lo) lo = v;
      if (std::isfinite(v) && v > hi) hi = v;
    }
    EXPECT_TRUE(same(d.ranges[q].first, lo) && same(d.ranges[q].second, hi)) << "quantity " << q;
    for (std::size_t buckets : {16, 4, 1}) {
      std::vector<double> keys, loaded, built;
      const std::vector<float> none;
      d.levels[q].Points(none, 0, d.times, 0, kRecords, buckets, &keys, &loaded);
      column.Points(none, 0, d.times, 0, kRecords, buckets, &keys, &built);
      ASSERT_EQ(loaded.size(), built.size()) << "quantity " << q;
      ASSERT_FALSE(loaded.empty());
      for (std::size_t i = 0; i < loaded.size(); ++i)
        EXPECT_TRUE(same(loaded[i], built[i]))
            << "quantity " << q << " point " << i << ": " << loaded[i] << " " << built[i];
    }
  }
}

TEST(FlightData, PyramidKeepsEveryPeakWithFewPoints) {
  std::mt19937 gen(7);
  std::normal_distribution<float> noise(0, 1);
  std::vector<float> values(100003);
  FlightTimes times;
  for (std::size_t i = 0; i < values.size(); ++i) {
    values[i] = noise(gen);
    times.Add(std::nullopt);
  }
  times.Finish();
  values[77777] = 50;  // one spike
  MinMaxPyramid pyramid;
  pyramid.Build(values);
  std::vector<double> keys, points;
  struct Range {
    std::size_t first, last, buckets;
  } ranges[] = {{0, values.size(), 1000}, {8 * 1000, 8 * 9000, 500}, {77000, 79000, 900},
                {77001, 79003, 300},      {123, 99999, 700},         {5, 20, 10}};
  for (const Range& r : ranges) {
    const std::size_t count = r.last - r.first;
    // The span the window reads: whole kept buckets around the range.
    constexpr std::size_t kKept = MinMaxPyramid::kKeptBucket;
    const std::size_t spanFirst = r.first / kKept * kKept;
    const std::vector<float> span(values.begin() + static_cast<std::ptrdiff_t>(spanFirst),
                                  values.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                       values.size(), (r.last + kKept - 1) / kKept * kKept)));
    for (bool withSpan : {true, false}) {
      const std::vector<float> none;
      pyramid.Points(withSpan ? span : none, spanFirst, times, r.first, r.last, r.buckets, &keys, &points);
      ASSERT_EQ(keys.size(), points.size());
      const std::string what =
          std::to_string(r.first) + ".." + std::to_string(r.last) + (withSpan ? "" : " unread");
      if (withSpan && count <= 2 * r.buckets) {
        ASSERT_EQ(points.size(), count) << "few enough: the values themselves";
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(points[i], values[r.first + i]) << what;
        continue;
      }
      if (withSpan) {
        EXPECT_LE(points.size(), 2 * r.buckets + 2) << what;
      }
      ASSERT_FALSE(points.empty()) << what;
      EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << what;
      // Each pair is the min and max of a whole bucket of 2^k records.
      const std::size_t pairs = points.size() / 2;
      std::size_t bucket = withSpan ? 8 : kKept;
      while (((r.last - 1) / bucket - r.first / bucket + 1) > pairs) bucket *= 2;
      ASSERT_EQ((r.last - 1) / bucket - r.first / bucket + 1, pairs) << what;
      if (withSpan && MinMaxPyramid::NeedsRecords(count, r.buckets)) {
        EXPECT_LT(bucket, kKept) << what;
      }
      for (std::size_t p = 0; p < pairs; ++p) {
        const std::size_t from = (r.first / bucket + p) * bucket, to = std::min(values.size(), from + bucket);
        const auto [lo, hi] = std::minmax_element(values.begin() + static_cast<std::ptrdiff_t>(from),
                                                  values.begin() + static_cast<std::ptrdiff_t>(to));
        EXPECT_EQ(points[2 * p], *lo) << what << " bucket " << p;
        EXPECT_EQ(points[2 * p + 1], *hi) << what << " bucket " << p;
        EXPECT_EQ(keys[2 * p], times[std::max(r.first, from)]) << what << " bucket " << p;
      }
    }
  }
}

}  // namespace
}  // namespace apdesk

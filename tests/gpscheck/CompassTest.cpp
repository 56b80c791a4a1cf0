#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "gpscheck/CompassDialGeometry.h"
#include "gpscheck/CompassJudgement.h"

namespace apdesk {
namespace {

std::int32_t Feed(CompassJudgement& j, const std::vector<float>& headings) {
  std::int32_t r = -1;
  for (float h : headings) r = j.AddHeading(h);
  return r;
}

TEST(CompassJudgement, ResultTable) {
  struct Case {
    const char* what;
    std::vector<float> headings;
    std::int32_t result;
  };
  const Case cases[] = {
      {"ten rising headings are not enough", {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}, kCompassUndecided},
      {"eleven rising headings", {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110}, kCompassGood},
      {"eleven falling headings", {110, 100, 90, 80, 70, 60, 50, 40, 30, 20, 10}, kCompassWrong},
      // The first entry drops out; the last ten rise 6 times and fall 3 times.
      {"six rises, three falls", {0, 1, 2, 3, 4, 5, 6, 7, 6, 5, 4}, kCompassUndecided},
      {"seven rises, two falls", {0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 6}, kCompassGood},
      {"seven falls, two equal", {0, 9, 8, 7, 6, 5, 4, 3, 2, 2, 2}, kCompassWrong},
      {"six falls, three equal", {0, 9, 8, 7, 6, 5, 4, 3, 3, 3, 3}, kCompassUndecided},
      // No wrap-around: 350 -> 10 is a fall, so a clockwise turn through north
      // with three such steps is not judged good.
      {"through north", {330, 340, 350, 0, 10, 20, 30, 40, 50, 60, 70}, kCompassGood},
      {"fractions within a degree are equal",
       {10.1f, 10.2f, 10.3f, 10.4f, 10.5f, 10.6f, 10.7f, 10.8f, 10.9f, 10.95f, 10.99f},
       kCompassUndecided},
  };
  for (const Case& c : cases) {
    CompassJudgement j;
    EXPECT_EQ(Feed(j, c.headings), c.result) << c.what;
    EXPECT_EQ(j.Result(), c.result) << c.what;
    EXPECT_LE(j.History().size(), kHeadingHistorySize) << c.what;
  }
}

TEST(CompassJudgement, HistoryTruncatesKeepsTenAndCarriesOver) {
  CompassJudgement j;
  j.AddHeading(359.9f);
  j.AddHeading(-0.5f);
  j.AddHeading(-1.5f);
  j.AddHeading(std::numeric_limits<float>::quiet_NaN());
  j.AddHeading(1e20f);
  j.AddHeading(-std::numeric_limits<float>::infinity());
  const std::vector<std::int32_t> want{
      359, 0, -1, 0, std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
  EXPECT_EQ(std::vector<std::int32_t>(j.History().begin(), j.History().end()), want);

  // Falling sequence, then rising: the judgement turns as soon as seven of
  // the last nine steps rise, without clearing anything in between.
  CompassJudgement k;
  EXPECT_EQ(Feed(k, {100, 90, 80, 70, 60, 50, 40, 30, 20, 10, 0}), kCompassWrong);
  EXPECT_EQ(k.History().size(), 10u);
  EXPECT_EQ(k.History().front(), 90);
  EXPECT_EQ(Feed(k, {10, 20, 30, 40, 50}), kCompassUndecided);
  EXPECT_EQ(Feed(k, {60, 70}), kCompassGood);
  EXPECT_EQ(k.History().back(), 70);
}

TEST(CompassJudgement, ResultTexts) {
  EXPECT_STREQ(CompassResultText(kCompassGood), "良好");
  EXPECT_STREQ(CompassResultText(kCompassWrong), "错误");
  EXPECT_STREQ(CompassResultText(kCompassUndecided), "请顺时针转动。。。");
  EXPECT_STREQ(CompassResultText(42), "请顺时针转动。。。");
}

TEST(CompassDialGeometry, RadiusAndNeedleTable) {
  struct Case {
    int w, h;
    float heading;
    int cx, cy, r, nx, ny;
  };
  const Case cases[] = {
      {200, 200, 0.0f, 100, 100, 90, 100, 10},    // straight up
      {200, 200, 90.0f, 100, 100, 90, 190, 100},  // to the right
      {200, 200, 180.0f, 100, 100, 90, 100, 190}, {200, 200, 270.0f, 100, 100, 90, 10, 100},
      {200, 200, 45.0f, 100, 100, 90, 163, 37},  // 90 * 0.7071 truncated
      {150, 119, 0.0f, 75, 59, 45, 75, 14},      // r = (59 / 10) * 9
      {150, 119, 360.0f, 75, 59, 45, 75, 14},
  };
  for (const Case& c : cases) {
    const CompassDialLayout d = LayoutCompassDial(c.w, c.h, c.heading);
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " heading " << c.heading);
    EXPECT_EQ(d.cx, c.cx);
    EXPECT_EQ(d.cy, c.cy);
    EXPECT_EQ(d.r, c.r);
    EXPECT_TRUE(d.hasNeedle);
    EXPECT_EQ(d.needleX, c.nx);
    EXPECT_EQ(d.needleY, c.ny);
  }
  EXPECT_FALSE(LayoutCompassDial(200, 200, std::numeric_limits<float>::quiet_NaN()).hasNeedle);
  EXPECT_FALSE(LayoutCompassDial(200, 200, std::numeric_limits<float>::infinity()).hasNeedle);
}

}  // namespace
}  // namespace apdesk

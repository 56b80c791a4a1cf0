#include "calibration/StickGaugeGeometry.h"

#include <gtest/gtest.h>

namespace apdesk {
namespace {

const GaugeMark& MarkOf(const StickGaugeLayout& g, int channel) {
  for (const GaugeMark& m : g.marks)
    if (m.channel == channel) return m;
  ADD_FAILURE() << "no mark for channel " << channel;
  return g.marks[0];
}

TEST(StickGaugeGeometry, CentresAndAxesOfTheReferenceSize) {
  std::array<std::int32_t, 4> v{0, 0, 0, 0};
  const StickGaugeLayout g = LayoutStickGauge(338, 200, 0, v);
  EXPECT_EQ(g.half, 169);
  EXPECT_EQ(g.cy, 90);
  EXPECT_EQ(g.qL, 84);
  EXPECT_EQ(g.qR, 253);
  const GaugeLine leftV{84, 0, 84, 180}, leftH{5, 90, 164, 90}, rightV{253, 0, 253, 180},
      rightH{174, 90, 333, 90};
  const GaugeLine want[4] = {leftV, leftH, rightV, rightH};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(g.axes[i].x1, want[i].x1) << i;
    EXPECT_EQ(g.axes[i].y1, want[i].y1) << i;
    EXPECT_EQ(g.axes[i].x2, want[i].x2) << i;
    EXPECT_EQ(g.axes[i].y2, want[i].y2) << i;
  }
  // Odd sizes truncate.
  const StickGaugeLayout odd = LayoutStickGauge(339, 201, 0, v);
  EXPECT_EQ(odd.half, 169);
  EXPECT_EQ(odd.cy, 90);
}

// One row per drawn value: where its mark lands and what the field holds after.
struct MarkCase {
  int mode;
  int channel;
  std::int32_t value;
  std::int32_t stored;
  GaugeLine line;
};

TEST(StickGaugeGeometry, MarksAndClampingTable) {
  const MarkCase cases[] = {
      {0, kRudder, 40, 40, {163, 82, 163, 98}},  // 84 + 79
      {0, kRudder, 55, 40, {163, 82, 163, 98}},  // clamped, stored back
      {0, kRudder, -41, -40, {5, 82, 5, 98}},
      {0, kRudder, -1, -1, {83, 82, 83, 98}},  // -79/40 truncates to -1
      {0, kRudder, 0, 0, {84, 82, 84, 98}},
      {0, kAileron, 20, 20, {292, 82, 292, 98}},   // 253 + 39
      {0, kElevator, 40, 40, {76, 180, 92, 180}},  // positive is below the centre
      {0, kElevator, -40, -40, {76, 0, 92, 0}},
      {0, kElevator, 13, 13, {76, 119, 92, 119}},  // 13*90/40 = 29
      {0, kThrottle, 90, 90, {245, 0, 261, 0}},    // top edge
      {0, kThrottle, 0, 0, {245, 180, 261, 180}},  // bottom end of the axis
      {0, kThrottle, -3, 0, {245, 180, 261, 180}},
      {0, kThrottle, 1000, 90, {245, 0, 261, 0}},
      {0, kThrottle, 45, 45, {245, 90, 261, 90}},
      {1, kThrottle, 45, 45, {76, 90, 92, 90}},  // throttle on the left stick
      {1, kElevator, 40, 40, {245, 180, 261, 180}},
      {2, kRudder, 40, 40, {332, 82, 332, 98}},  // rudder on the right stick
      {2, kAileron, 40, 40, {163, 82, 163, 98}},
      {3, kThrottle, 90, 90, {76, 0, 92, 0}},
      {3, kElevator, 0, 0, {245, 90, 261, 90}},
      {7, kRudder, 40, 40, {163, 82, 163, 98}},  // unknown modes draw as mode 0
      {-1, kThrottle, 90, 90, {245, 0, 261, 0}},
  };
  for (const MarkCase& c : cases) {
    std::array<std::int32_t, 4> v{0, 0, 0, 0};
    v[c.channel] = c.value;
    const StickGaugeLayout g = LayoutStickGauge(338, 200, c.mode, v);
    const GaugeLine& l = MarkOf(g, c.channel).line;
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " channel " << c.channel << " value " << c.value);
    EXPECT_EQ(v[c.channel], c.stored);
    EXPECT_EQ(l.x1, c.line.x1);
    EXPECT_EQ(l.y1, c.line.y1);
    EXPECT_EQ(l.x2, c.line.x2);
    EXPECT_EQ(l.y2, c.line.y2);
  }
}

TEST(StickGaugeGeometry, LabelsAndDrawingOrderFollowTheMode) {
  // Label points: left horizontal, right horizontal, left vertical, right vertical.
  const int want[5][4] = {
      {kRudder, kAileron, kElevator, kThrottle}, {kRudder, kAileron, kThrottle, kElevator},
      {kAileron, kRudder, kElevator, kThrottle}, {kAileron, kRudder, kThrottle, kElevator},
      {kRudder, kAileron, kElevator, kThrottle},  // mode 7
  };
  const int modes[5] = {0, 1, 2, 3, 7};
  for (int m = 0; m < 5; ++m) {
    std::array<std::int32_t, 4> v{30, 20, 50, 10};
    const StickGaugeLayout g = LayoutStickGauge(338, 200, modes[m], v);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(g.labels[i].channel, want[m][i]) << "mode " << modes[m] << " label " << i;
    EXPECT_EQ(g.marks[0].channel, kRudder);
    EXPECT_EQ(g.marks[1].channel, kAileron);
    EXPECT_EQ(g.marks[2].channel, kElevator);
    EXPECT_EQ(g.marks[3].channel, kThrottle);
  }
  std::array<std::int32_t, 4> v{0, 0, 0, 0};
  const StickGaugeLayout g = LayoutStickGauge(338, 200, 0, v);
  EXPECT_EQ(g.labels[0].x, 1);
  EXPECT_EQ(g.labels[0].y, 95);
  EXPECT_EQ(g.labels[1].x, 169);
  EXPECT_EQ(g.labels[1].y, 95);
  EXPECT_EQ(g.labels[2].x, 84);
  EXPECT_EQ(g.labels[2].y, 180);
  EXPECT_EQ(g.labels[3].x, 253);
  EXPECT_EQ(g.labels[3].y, 180);
}

}  // namespace
}  // namespace apdesk

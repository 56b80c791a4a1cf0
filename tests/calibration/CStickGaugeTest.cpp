#include "calibration/CStickGauge.h"

#include <gtest/gtest.h>

#include "calibration/WindowTestSupport.h"

namespace apdesk {
namespace {

QColor At(const QImage& img, int x, int y) {
  return img.pixelColor(x, y);
}

class StickGauge : public ::testing::Test {
 protected:
  void SetUp() override { gauge.resize(338, 200); }
  QImage Paint() { return gauge.grab().toImage(); }
  QApplication* app = testing::App();  // before any widget
  CStickGauge gauge;
};

TEST_F(StickGauge, DefaultsDrawGreenMarksAtTheirPlaces) {
  EXPECT_EQ(gauge.m_values, (std::array<std::int32_t, 4>{30, 20, 50, 10}));
  EXPECT_EQ(gauge.m_stickMode, 0);
  const QImage img = Paint();
  testing::KeepScreenshot(img, "gauge-defaults");
  ASSERT_EQ(img.size(), QSize(338, 200));
  const QColor green(0, 255, 0);
  EXPECT_EQ(At(img, 143, 85), green);  // rudder 30: 84 + 79*30/40
  EXPECT_EQ(At(img, 80, 135), green);  // elevator 20: 90 + 20*90/40
  EXPECT_EQ(At(img, 250, 80), green);  // throttle 50: 180 - 50*180/90
  EXPECT_EQ(At(img, 272, 85), green);  // aileron 10: 253 + 79*10/40
  EXPECT_EQ(At(img, 30, 30), QColor(Qt::black));
  EXPECT_EQ(At(img, 335, 5), QColor(Qt::black));
  // Axes are white (antialiased across two pixel columns or rows).
  EXPECT_GT(At(img, 84, 30).lightness(), 150);
  EXPECT_GT(At(img, 20, 90).lightness(), 150);
  EXPECT_GT(At(img, 253, 150).lightness(), 150);
  EXPECT_GT(At(img, 320, 90).lightness(), 150);
}

TEST_F(StickGauge, ClampsStoresBackAndColours) {
  gauge.m_values = {55, -60, -3, 41};
  gauge.m_colors = {0xFFFF0000u, 0xFFFFFF00u, 0xFF00FF00u, 0xFFFF0000u};
  const QImage img = Paint();
  EXPECT_EQ(gauge.m_values, (std::array<std::int32_t, 4>{40, -40, 0, 40}));
  EXPECT_EQ(At(img, 163, 84), QColor(255, 0, 0));   // rudder at +40
  EXPECT_EQ(At(img, 332, 96), QColor(255, 0, 0));   // aileron at +40
  EXPECT_EQ(At(img, 78, 1), QColor(255, 255, 0));   // elevator -40 on the top edge
  EXPECT_EQ(At(img, 250, 179), QColor(0, 255, 0));  // throttle 0 at the bottom end
  EXPECT_EQ(At(img, 143, 85), QColor(Qt::black));   // nothing left where rudder 30 was

  gauge.m_values[kThrottle] = 90;
  EXPECT_EQ(At(Paint(), 250, 1), QColor(0, 255, 0));  // top edge
}

TEST_F(StickGauge, ModesMoveChannelsAndUnknownModesDrawAsModeZero) {
  gauge.m_values = {40, 0, 90, -40};
  const QColor green(0, 255, 0);
  // Throttle at the top of the right stick in modes 0 and 2, of the left in 1 and 3.
  const int throttleX[4] = {250, 80, 250, 80};
  for (int mode = 0; mode < 4; ++mode) {
    gauge.m_stickMode = mode;
    const QImage img = Paint();
    testing::KeepScreenshot(img, QString("gauge-mode%1").arg(mode));
    EXPECT_EQ(At(img, throttleX[mode], 1), green) << "mode " << mode;
  }
  gauge.m_stickMode = 0;
  const QImage mode0 = Paint();
  gauge.m_stickMode = 7;
  EXPECT_EQ(Paint(), mode0);
  gauge.m_stickMode = -2;
  EXPECT_EQ(Paint(), mode0);
}

// White label pixels in a box (the labels are the only white outside the axes).
int WhiteIn(const QImage& img, QRect box) {
  int n = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    for (int x = box.left(); x <= box.right(); ++x)
      if (At(img, x, y).lightness() > 200) ++n;
  return n;
}

TEST_F(StickGauge, LabelsFollowNamesAndAnEmptyNameDrawsNothing) {
  gauge.m_values = {0, 0, 0, 0};
  const QRect rudderLabel(1, 96, 60, 14);  // below the left horizontal axis
  EXPECT_GT(WhiteIn(Paint(), rudderLabel), 5);
  gauge.m_axisNames[kRudder].clear();
  const QImage img = Paint();
  EXPECT_EQ(WhiteIn(img, rudderLabel), 0);
  EXPECT_EQ(At(img, 84, 85), QColor(0, 255, 0));  // the mark is still drawn

  gauge.m_axisNames = {QString::fromUtf8("方向"), QString::fromUtf8("升降"), QString::fromUtf8("油门"),
                       QString::fromUtf8("副翼")};
  gauge.m_values = {30, 20, 50, 10};
  const QImage zh = Paint();
  testing::KeepScreenshot(zh, "gauge-chinese");
  EXPECT_GT(WhiteIn(zh, QRect(1, 96, 30, 14)), 5);     // rendered glyphs, not nothing
  EXPECT_GT(WhiteIn(zh, QRect(253, 182, 30, 16)), 5);  // right vertical label at (qR, 2cy)
}

TEST_F(StickGauge, FrameLeavesTheClientAreaToTheGauge) {
  gauge.setFrameStyle(QFrame::Box | QFrame::Plain);
  QPalette pal = gauge.palette();
  pal.setColor(QPalette::WindowText, Qt::white);  // a plain box is drawn in the text colour
  gauge.setPalette(pal);
  gauge.resize(340, 202);
  ASSERT_EQ(gauge.contentsRect(), QRect(1, 1, 338, 200));
  const QImage img = Paint();
  EXPECT_EQ(At(img, 1 + 143, 1 + 85), QColor(0, 255, 0));  // rudder 30, shifted by the frame
  EXPECT_EQ(At(img, 0, 100), QColor(Qt::white));           // the frame itself
}

}  // namespace
}  // namespace apdesk

#include "ui/Pictures.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QtMath>
#include <vector>

namespace apdesk {
namespace {

// Pictures need a Gui application for fonts and painting.
class Pictures : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!QGuiApplication::instance()) {
      static int argc = 1;
      static char name[] = "pictures_test";
      static char* argv[] = {name, nullptr};
      static QGuiApplication app(argc, argv);
    }
  }
  // For looking at them: APDESK_SCREENSHOTS=<folder> keeps a PNG of each.
  static void Keep(const QImage& img, const QString& name) {
    const QByteArray dir = qgetenv("APDESK_SCREENSHOTS");
    if (!dir.isEmpty()) {
      QDir().mkpath(QString::fromLocal8Bit(dir));
      img.save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }
  }
};

bool IsHub(const QImage& img, QPointF at) {
  const QColor c = img.pixelColor(static_cast<int>(at.x()), static_cast<int>(at.y()));
  return c.red() < 60 && c.green() < 60 && c.blue() < 70;
}

QPointF Polar(double angle, double length) {
  const double a = qDegreesToRadians(angle);
  return {48 + std::sin(a) * length, 50 - std::cos(a) * length};
}

TEST_F(Pictures, AircraftSizesDepthAndRotorPositions) {
  // Arm angles (clockwise from forward) and arm length of each frame.
  struct Frame {
    int id;
    std::vector<double> arms;
    double length;
  };
  const Frame frames[] = {
      {202, {0, 90, 180, 270}, 31},
      {203, {45, 135, 225, 315}, 31},
      {204, {0, 60, 120, 180, 240, 300}, 34},
      {205, {30, 90, 150, 210, 270, 330}, 34},
      {206, {0, 45, 90, 135, 180, 225, 270, 315}, 36},
      {207, {22.5, 67.5, 112.5, 157.5, 202.5, 247.5, 292.5, 337.5}, 36},
      {208, {300, 60, 180}, 32},
      {209, {300, 60, 180}, 32},
      {210, {45, 135, 225, 315}, 30},
  };
  std::vector<QImage> seen;
  for (const Frame& f : frames) {
    const QImage img = AircraftPicture(f.id);
    Keep(img, QString("bitmap%1").arg(f.id));
    ASSERT_EQ(img.size(), QSize(96, 96)) << f.id;
    EXPECT_EQ(img.depth(), 24) << f.id;
    for (double a : f.arms) EXPECT_TRUE(IsHub(img, Polar(a, f.length))) << f.id << " rotor at " << a;
    // Half-way between two neighbouring arms there is no rotor hub.
    const double between = f.arms.size() == 3 ? 0 : (f.arms[0] + f.arms[1]) / 2;
    EXPECT_FALSE(IsHub(img, Polar(between, f.length))) << f.id;
    for (const QImage& other : seen) EXPECT_NE(img, other) << f.id;
    seen.push_back(img);
  }
}

TEST_F(Pictures, GenericAircraftForAnyOtherId) {
  const QImage generic = AircraftPicture(211);
  Keep(generic, "bitmap211");
  EXPECT_EQ(generic.size(), QSize(96, 96));
  EXPECT_EQ(generic.depth(), 24);
  EXPECT_NE(generic, AircraftPicture(202));
  for (int id : {0, 201, 212, -1}) EXPECT_EQ(AircraftPicture(id), generic) << id;
}

TEST_F(Pictures, TransmitterHasTwoSticksWithArrows) {
  const QImage tx = TransmitterPicture();
  Keep(tx, "bitmap212");
  ASSERT_EQ(tx.size(), QSize(218, 142));
  EXPECT_EQ(tx.depth(), 24);
  for (int x : {56, 162}) {
    // The knob is light, and the ring of the arrow crosses the stick's row.
    EXPECT_GT(tx.pixelColor(x, 86).lightness(), 180) << x;
    const QColor ring = tx.pixelColor(x - 35, 86);
    EXPECT_GT(ring.red(), 200) << x;
    EXPECT_GT(ring.green(), 150) << x;
    EXPECT_LT(ring.blue(), 120) << x;
  }
  EXPECT_EQ(tx.pixelColor(1, 140), QGuiApplication::palette().color(QPalette::Window));  // outside the case
}

}  // namespace
}  // namespace apdesk

// The plotted quantities: each reads its own field of a record, and names
// and colours tell them apart.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "plot/PlotQuantities.h"

namespace apdesk {
namespace {

TEST(PlotQuantities, EachReadsItsOwnField) {
  StatusFields f;
  f.altitudeTenths = 1234;
  f.voltageRaw = 2458;  // 12.0 V
  f.satellites = 9;
  f.velocityX = 300;
  f.velocityY = 400;
  f.courseRadians = 3.14159265f / 2;
  f.attitudeUp = -7;
  f.attitudeLeft = 11;
  f.rudder = 21;
  f.elevator = 22;
  f.throttle = 23;
  f.aileron = 24;
  f.flightStatus = 5;
  const struct {
    PlotQuantityId id;
    double expected;
  } cases[] = {
      {PlotQuantityId::kAltitude, 123.4},  {PlotQuantityId::kVoltage, 2458 * 20 / 4096.0},
      {PlotQuantityId::kSatellites, 9},    {PlotQuantityId::kGroundSpeed, 5.0},
      {PlotQuantityId::kCourse, 90.0},     {PlotQuantityId::kAttitudeUp, -7},
      {PlotQuantityId::kAttitudeLeft, 11}, {PlotQuantityId::kRudder, 21},
      {PlotQuantityId::kElevator, 22},     {PlotQuantityId::kThrottle, 23},
      {PlotQuantityId::kAileron, 24},      {PlotQuantityId::kFlightStatus, 5},
  };
  ASSERT_EQ(std::size(cases), PlotQuantities().size());
  for (const auto& c : cases) {
    const PlotQuantity& q = GetPlotQuantity(c.id);
    EXPECT_EQ(q.id, c.id);
    EXPECT_NEAR(q.value(f), c.expected, 1e-4) << q.name;
  }
}

TEST(PlotQuantities, NamesKeysAndColoursAreDistinctAndFindable) {
  std::set<std::string> names, keys;
  std::set<std::uint32_t> colours;
  for (const PlotQuantity& q : PlotQuantities()) {
    names.insert(q.name);
    keys.insert(q.languageKey);
    colours.insert(q.argb);
    EXPECT_EQ(q.argb >> 24, 0xFFu) << q.name << " is drawn opaque";
    EXPECT_EQ(FindPlotQuantity(q.name), &q);
    EXPECT_EQ(std::string(q.languageKey).rfind("LID_", 0), 0u) << q.name;
  }
  EXPECT_EQ(names.size(), PlotQuantities().size());
  EXPECT_EQ(keys.size(), PlotQuantities().size());
  EXPECT_EQ(colours.size(), PlotQuantities().size());
  EXPECT_EQ(FindPlotQuantity("no_such_quantity"), nullptr);
  EXPECT_EQ(FindPlotQuantity(""), nullptr);
}

TEST(PlotQuantities, GroundSpeedOfTheUnsignedFieldsAsShown) {
  StatusFields f;
  f.velocityX = 65534;  // shown as 65534 cm/s, so plotted as such
  EXPECT_NEAR(GroundSpeedMetres(f), 655.34, 1e-9);
  f.velocityX = 0;
  EXPECT_EQ(GroundSpeedMetres(f), 0.0);
}

}  // namespace
}  // namespace apdesk

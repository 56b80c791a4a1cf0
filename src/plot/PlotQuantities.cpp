#include "plot/PlotQuantities.h"

#include <array>
#include <cmath>

namespace apdesk {

namespace {

// Colours apart enough to tell on a white plot; the sticks keep the order
// (and broadly the hues) of the stick panel's channels.
constexpr std::array<PlotQuantity, kPlotQuantityCount> kQuantities{{
    {PlotQuantityId::kAltitude, "altitude", "LID_PLOT_Altitude", "Altitude", "m", 0xFF1F77B4u, false,
     [](const StatusFields& f) { return f.AltitudeShown(); }},
    {PlotQuantityId::kVoltage, "voltage", "LID_PLOT_Voltage", "Voltage", "V", 0xFFD62728u, false,
     [](const StatusFields& f) { return f.Volts(); }},
    {PlotQuantityId::kSatellites, "satellites", "LID_PLOT_Satellites", "Satellites", "", 0xFF2CA02Cu, true,
     [](const StatusFields& f) { return static_cast<double>(f.satellites); }},
    {PlotQuantityId::kGroundSpeed, "ground_speed", "LID_PLOT_GroundSpeed", "Ground speed", "m/s", 0xFFFF7F0Eu,
     false, [](const StatusFields& f) { return GroundSpeedMetres(f); }},
    {PlotQuantityId::kCourse, "course", "LID_PLOT_Course", "Course", "deg", 0xFF9467BDu, false,
     [](const StatusFields& f) { return f.CourseDegrees(); }},
    {PlotQuantityId::kAttitudeUp, "attitude_up", "LID_PLOT_AttitudeUp", "Attitude up", "", 0xFF8C564Bu, false,
     [](const StatusFields& f) { return static_cast<double>(f.attitudeUp); }},
    {PlotQuantityId::kAttitudeLeft, "attitude_left", "LID_PLOT_AttitudeLeft", "Attitude left", "",
     0xFFE377C2u, false, [](const StatusFields& f) { return static_cast<double>(f.attitudeLeft); }},
    {PlotQuantityId::kRudder, "rudder", "LID_PUB_Rudder", "Rudder", "", 0xFF17BECFu, false,
     [](const StatusFields& f) { return static_cast<double>(f.rudder); }},
    {PlotQuantityId::kElevator, "elevator", "LID_PUB_Elevator", "Elevator", "", 0xFFBCBD22u, false,
     [](const StatusFields& f) { return static_cast<double>(f.elevator); }},
    {PlotQuantityId::kThrottle, "throttle", "LID_PUB_Throttle", "Throttle", "", 0xFF7F7F7Fu, false,
     [](const StatusFields& f) { return static_cast<double>(f.throttle); }},
    {PlotQuantityId::kAileron, "aileron", "LID_PUB_Aileron", "Aileron", "", 0xFF393B79u, false,
     [](const StatusFields& f) { return static_cast<double>(f.aileron); }},
    {PlotQuantityId::kFlightStatus, "flight_status", "LID_PLOT_FlightStatus", "Flight status", "",
     0xFF000000u, true, [](const StatusFields& f) { return static_cast<double>(f.flightStatus); }},
}};

// The table is indexed by id; a reordering that breaks that does not build.
constexpr bool IndexedById() {
  for (int i = 0; i < kPlotQuantityCount; ++i)
    if (static_cast<int>(kQuantities[static_cast<std::size_t>(i)].id) != i) return false;
  return true;
}
static_assert(IndexedById());

}  // namespace

std::span<const PlotQuantity> PlotQuantities() {
  return kQuantities;
}

const PlotQuantity& GetPlotQuantity(PlotQuantityId id) {
  return kQuantities[static_cast<std::size_t>(id)];
}

const PlotQuantity* FindPlotQuantity(std::string_view name) {
  for (const PlotQuantity& q : kQuantities)
    if (name == q.name) return &q;
  return nullptr;
}

double GroundSpeedMetres(const StatusFields& fields) {
  return std::hypot(static_cast<double>(fields.velocityX), static_cast<double>(fields.velocityY)) / 100.0;
}

}  // namespace apdesk

#include "cli/TelemetryText.h"

#include <array>

namespace apdesk::cli {

namespace {

constexpr std::array<const char*, 13> kFlightStatus = {
    "Manual",
    "Auto Hovering",
    "Auto Navigation",
    "Circle position",
    "Realtime waypoint",
    "Auto waypoint circling",
    "Semi-automatic",
    "Settings State",
    "Zero Gyro",
    "ALT Error",
    "Airspeed Error",
    "Back Landing",
    "Manual Set Altitude",
};

struct Channel {
  const char* name;
  int index;
};
constexpr Channel kChannels[] = {
    {"rudder", kRudder}, {"aileron", kAileron}, {"elevator", kElevator}, {"throttle", kThrottle}};

}  // namespace

const char* FlightStatusName(int entry) {
  if (entry < 0 || entry >= static_cast<int>(kFlightStatus.size())) return nullptr;
  return kFlightStatus[static_cast<std::size_t>(entry)];
}

std::string TelemetryLine(const TelemetryView& v) {
  const char* status = FlightStatusName(v.flightStatusEntry);
  std::string line = "lat " + v.latitudeText + " lon " + v.longitudeText + " alt " + v.altitudeText +
                     " course " + v.courseText + " volt " + v.voltageText + " sats " + v.satellitesText +
                     " attitude " + v.attitudeText + " status " + std::to_string(v.flightStatusEntry) + " (" +
                     (status ? status : "-") + ") version " + v.versionText + " sticks";
  for (const Channel& c : kChannels) {
    const StickChannel& s = v.sticks[static_cast<std::size_t>(c.index)];
    line += FormatText(" %c %d %s", c.name[0] - 32, s.value, StickColourName(s.argb));
  }
  return line;
}

std::string TelemetryJson(const TelemetryView& v) {
  const char* status = FlightStatusName(v.flightStatusEntry);
  std::string out =
      "{\"latitude\":" + JsonString(v.latitudeText) + ",\"longitude\":" + JsonString(v.longitudeText) +
      ",\"altitude\":" + JsonString(v.altitudeText) + ",\"course\":" + JsonString(v.courseText) +
      ",\"voltage\":" + JsonString(v.voltageText) + ",\"version\":" + JsonString(v.versionText) +
      ",\"attitude\":" + JsonString(v.attitudeText) + ",\"satellites\":" + JsonString(v.satellitesText) +
      ",\"flight_status\":" + std::to_string(v.flightStatusEntry) +
      ",\"flight_status_text\":" + (status ? JsonString(status) : std::string("null"));
  for (const Channel& c : kChannels) {
    const StickChannel& s = v.sticks[static_cast<std::size_t>(c.index)];
    out += FormatText(",\"%s\":{\"value\":%d,\"colour\":\"%s\"}", c.name, s.value, StickColourName(s.argb));
  }
  return out + "}";
}

}  // namespace apdesk::cli

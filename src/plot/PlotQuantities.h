#pragma once
// The telemetry quantities the windows plot over time, in one table, so the
// flight-record viewer and the live plots name, scale and colour each one
// alike. Plain C++: the viewer's loader fills its columns with it too.

#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/StatusSentence.h"

namespace apdesk {

enum class PlotQuantityId : int {
  kAltitude,
  kVoltage,
  kSatellites,
  kGroundSpeed,
  kCourse,
  kAttitudeUp,
  kAttitudeLeft,
  kRudder,
  kElevator,
  kThrottle,
  kAileron,
  kFlightStatus,
};

inline constexpr int kPlotQuantityCount = 12;

struct PlotQuantity {
  PlotQuantityId id;
  const char* name;         // stable, for settings and files: "altitude", "ground_speed", ...
  const char* languageKey;  // "LID_PLOT_..." in [public] of the language files
  const char* label;        // English label when the language file has no text
  const char* unit;         // "m", "V", "m/s", "deg" or "" (a count or a raw reading)
  std::uint32_t argb;       // line colour, alpha in the top byte
  bool stepped;             // a value that changes in steps (a count, a state): drawn as steps
  double (*value)(const StatusFields& fields);
};

// Every quantity, in the order the windows stack their plots; the index of
// each is static_cast<int>(its id).
std::span<const PlotQuantity> PlotQuantities();

const PlotQuantity& GetPlotQuantity(PlotQuantityId id);

// By its stable name; nullptr when there is none of that name.
const PlotQuantity* FindPlotQuantity(std::string_view name);

// Ground speed in m/s from the two velocity fields (cm/s, read unsigned as
// the window shows them).
double GroundSpeedMetres(const StatusFields& fields);

}  // namespace apdesk

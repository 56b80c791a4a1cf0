#pragma once
// The recent past of the values the telemetry plots draw: one point per
// "$STP" record, each holding every plotted quantity, kept for the longest
// span a plot shows. Plain C++, so what is kept and dropped is tested
// without a window.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>

#include "plot/PlotQuantities.h"

namespace apdesk {

// What the live plots draw, in the order of their values in a point.
inline constexpr std::array<PlotQuantityId, 10> kLivePlotQuantities = {
    PlotQuantityId::kAltitude,    PlotQuantityId::kVoltage,    PlotQuantityId::kSatellites,
    PlotQuantityId::kGroundSpeed, PlotQuantityId::kAttitudeUp, PlotQuantityId::kAttitudeLeft,
    PlotQuantityId::kRudder,      PlotQuantityId::kElevator,   PlotQuantityId::kThrottle,
    PlotQuantityId::kAileron,
};
inline constexpr std::size_t kLivePlotCount = kLivePlotQuantities.size();

struct TelemetryPoint {
  std::int64_t ms = 0;  // since the first record of this history
  double seconds = 0;   // the same, as the plots' key
  std::array<double, kLivePlotCount> values{};
};

class TelemetryHistory {
 public:
  // The longest span a plot shows; older points are dropped.
  static constexpr std::int64_t kKeepMs = 10 * 60 * 1000;

  // One valid 99-byte "$STP" at a steady-clock time in ms. A time before the
  // last one (a clock that went back) is taken as the last one, so the
  // points stay in order.
  void AddStatusSentence(const std::uint8_t* s99, std::int64_t nowMs);

  const std::deque<TelemetryPoint>& Points() const { return m_points; }
  // Every point ever added (also those since dropped): a window appends the
  // points after the count it drew last.
  std::uint64_t Added() const { return m_added; }
  // Time of the newest point (0 when empty).
  std::int64_t LatestMs() const { return m_points.empty() ? 0 : m_points.back().ms; }
  // The index of the first point at or after `ms`.
  std::size_t FirstAtOrAfter(std::int64_t ms) const;

 private:
  std::deque<TelemetryPoint> m_points;
  std::uint64_t m_added = 0;
  bool m_started = false;
  std::int64_t m_startMs = 0;
  std::int64_t m_lastMs = 0;
};

}  // namespace apdesk

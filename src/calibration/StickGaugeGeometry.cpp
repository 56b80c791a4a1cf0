#include "calibration/StickGaugeGeometry.h"

#include <algorithm>

namespace apdesk {

std::array<int, 4> StickModeAxes(int mode) {
  switch (mode) {
    case 1:
      return {kRudder, kThrottle, kAileron, kElevator};
    case 2:
      return {kAileron, kElevator, kRudder, kThrottle};
    case 3:
      return {kAileron, kThrottle, kRudder, kElevator};
    default:
      return {kRudder, kElevator, kAileron, kThrottle};
  }
}

StickGaugeLayout LayoutStickGauge(int w, int h, int mode, std::array<std::int32_t, 4>& values) {
  StickGaugeLayout g;
  g.half = w / 2;
  g.cy = (h - 20) / 2;
  g.qL = g.half / 2;
  g.qR = g.half / 2 + g.half;
  const int half = g.half, cy = g.cy, qL = g.qL, qR = g.qR;

  g.axes[0] = {qL, 0, qL, 2 * cy};
  g.axes[1] = {5, cy, half - 5, cy};
  g.axes[2] = {qL + half, 0, qL + half, 2 * cy};
  g.axes[3] = {half + 5, cy, 2 * half - 5, cy};

  const std::array<int, 4> axis = StickModeAxes(mode);
  g.labels[0] = {axis[0], 1, cy + 5};
  g.labels[1] = {axis[2], half, cy + 5};
  g.labels[2] = {axis[1], qL, 2 * cy};
  g.labels[3] = {axis[3], qR, 2 * cy};

  // Centre x of the stick that carries a channel; the right stick's is qR.
  auto stickX = [&](int channel) { return (axis[0] == channel || axis[1] == channel) ? qL : qR; };

  int n = 0;
  for (int channel : {kRudder, kAileron}) {
    std::int32_t& v = values[channel];
    v = std::clamp<std::int32_t>(v, -40, 40);
    const int x = stickX(channel) + (qL - 5) * v / 40;
    g.marks[n++] = {channel, {x, cy - 8, x, cy + 8}};
  }
  {
    std::int32_t& v = values[kElevator];
    v = std::clamp<std::int32_t>(v, -40, 40);
    const int x = stickX(kElevator), y = cy + v * cy / 40;
    g.marks[n++] = {kElevator, {x - 8, y, x + 8, y}};
  }
  {
    std::int32_t& v = values[kThrottle];
    v = std::clamp<std::int32_t>(v, 0, 90);
    const int x = stickX(kThrottle), y = 2 * cy - v * 2 * cy / 90;
    g.marks[n++] = {kThrottle, {x - 8, y, x + 8, y}};
  }
  return g;
}

}  // namespace apdesk

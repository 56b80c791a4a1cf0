#pragma once
// Where the stick gauge draws its axes, labels and marks, in whole pixels.
// Plain C++ so the numbers can be checked without painting.

#include <array>
#include <cstdint>

#include "protocol/StatusSentence.h"

namespace apdesk {

// Channel order of the gauge's fields: rudder, elevator, throttle, aileron,
// the telemetry's own order (StickIndex: kRudder ... kAileron).
inline constexpr int kStickChannelCount = 4;

struct GaugeLine {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

struct GaugeLabel {
  int channel = kRudder;  // whose name is drawn here
  int x = 0, y = 0;       // top-left corner of the text
};

struct GaugeMark {
  int channel = kRudder;
  GaugeLine line;
};

struct StickGaugeLayout {
  int half = 0, cy = 0, qL = 0, qR = 0;
  // Left vertical, left horizontal, right vertical, right horizontal.
  std::array<GaugeLine, 4> axes{};
  // Left horizontal, right horizontal, left vertical, right vertical.
  std::array<GaugeLabel, 4> labels{};
  // In drawing order: rudder, aileron, elevator, throttle.
  std::array<GaugeMark, 4> marks{};
};

// Which channel sits on each axis: left horizontal, left vertical, right
// horizontal, right vertical. Modes outside 0-3 are laid out as mode 0.
std::array<int, 4> StickModeAxes(int mode);

// Lays out a client area of width w and height h. The values (in channel
// order) are clamped to what the gauge can show, and the clamped values are
// written back, since the owner reads them again as the gauge's state.
StickGaugeLayout LayoutStickGauge(int w, int h, int mode, std::array<std::int32_t, 4>& values);

}  // namespace apdesk

#include "gpscheck/CompassDialGeometry.h"

#include <cmath>

namespace apdesk {

CompassDialLayout LayoutCompassDial(int w, int h, float heading) {
  CompassDialLayout d;
  d.cx = w / 2;
  d.cy = h / 2;
  d.r = (d.cy / 10) * 9;
  // A device can send any bit pattern; cos of infinity is no number, and
  // turning that into an int is undefined, so such a heading has no needle.
  if (!std::isfinite(heading)) return d;
  // In float, as the heading is kept: 0 degrees then points exactly up.
  const float a = heading / 180.0f * 3.1415926f - 1.5707963f;
  d.hasNeedle = true;
  d.needleX = d.cx + static_cast<int>(std::cos(a) * d.r);
  d.needleY = d.cy + static_cast<int>(std::sin(a) * d.r);
  return d;
}

}  // namespace apdesk

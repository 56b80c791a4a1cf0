#pragma once
// Where the compass dial draws its disc, crosshairs and needle, in pixels.

namespace apdesk {

struct CompassDialLayout {
  int cx = 0, cy = 0, r = 0;
  bool hasNeedle = false;        // false for a heading that is no finite number
  int needleX = 0, needleY = 0;  // the needle runs from (cx, cy) to here
};

// Heading in degrees, clockwise from the top: 0 points up, 90 to the right.
CompassDialLayout LayoutCompassDial(int w, int h, float heading);

}  // namespace apdesk

#pragma once
// The aircraft type list (1159) with its two arrow buttons and the picture
// (1250) of the type chosen.

#include <QPixmap>
#include <map>

#include "console/WindowControls.h"

namespace apdesk {

class AircraftChooser {
 public:
  explicit AircraftChooser(const WindowControls& controls) : m_controls(controls) {}

  // Shows the picture of the type chosen; cheap when it is shown already.
  void Update();
  // The arrows: the next or previous type, round the end of the list.
  void Next();
  void Previous();
  int ShownBitmap() const { return m_shownBitmap; }

 private:
  const WindowControls& m_controls;
  std::map<int, QPixmap> m_pictures;
  int m_shownBitmap = 0;
};

}  // namespace apdesk

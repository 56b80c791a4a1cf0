#pragma once
// A menu bar above and a status line below a window built from a template:
// the template's controls move down together by the menu bar's height, so
// they keep their places relative to each other, and the window grows by
// the two bars.

#include <QMenuBar>
#include <QStatusBar>

#include <functional>

class QDialog;

namespace apdesk {

struct WindowChrome {
  QMenuBar* menuBar = nullptr;
  QStatusBar* statusLine = nullptr;
};

// Adds both bars to `dialog` (already built, fixed size) and returns them;
// `fillMenus` adds the menus before the bar's height is taken.
WindowChrome AddWindowChrome(QDialog* dialog, const std::function<void(QMenuBar*)>& fillMenus);

}  // namespace apdesk

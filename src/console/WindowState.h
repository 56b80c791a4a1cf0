#pragma once
// What the main window's parts share: the limits, whether Open USB runs, the
// port list's names and the parameters last read. The window holds it; each
// part is given only this, not the window.

#include <QStringList>
#include <QTime>

#include "protocol/ParameterCodec.h"

namespace apdesk {

// Between "$HFMR" (or a write) and asking again: the controller needs it.
inline constexpr int kParameterPauseMs = 300;
// How long Send waits for the controller's read-back before it says none came.
inline constexpr int kReadBackWaitMs = 3000;
// How long a note about the connection or a write stays on the status line.
inline constexpr int kStatusNoteMs = 10000;

struct MainWindowState {
  int m_distanceLimit = 0;
  int m_altitudeLimit = 0;
  int m_usbOpening = 0;
  QStringList m_portNames;
  ParameterSentence m_lastParams{};
  // A valid "$PAR" arrived since the last transport was opened: only then may
  // Send build a block (otherwise it would write zeros over the controller's
  // settings).
  bool m_paramsValid = false;
  QTime m_paramsReadAt;  // when the last valid "$PAR" arrived
};

}  // namespace apdesk

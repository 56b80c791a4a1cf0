#pragma once
// The main window's live fields: each "$STP" is shown in the status fields
// and the stick panel, each "$TBS" in a box.

#include <QObject>
#include <cstdint>

#include "calibration/CStickGauge.h"
#include "console/WindowControls.h"
#include "localisation/CLanguageManager.h"

namespace apdesk {

class ControllerSession;

class TelemetryDisplay : public QObject {
 public:
  // Boxes are shown over `window`; all of these outlive this.
  TelemetryDisplay(const WindowControls& controls, CStickGauge& stickPanel, const CLanguageManager& texts,
                   QWidget* window);

  // The fields' one connection to the session.
  void Listen(ControllerSession& session);

 private:
  void ShowStatus(const std::uint8_t* sentence99);
  void ShowInstallError(const std::uint8_t* sentence14);

  const WindowControls& m_controls;
  CStickGauge& m_stickPanel;
  const CLanguageManager& m_texts;
  QWidget* m_window;
};

}  // namespace apdesk

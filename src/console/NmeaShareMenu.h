#pragma once
// Tools > Share position (NMEA): the window, its address and switch kept in
// the settings file, the number of listening programs on the status line,
// and the one place where the session feeds the shared position.

#include <QObject>
#include <memory>

#include "localisation/CLanguageManager.h"
#include "nmea/CNmeaShareDlg.h"

class CConfigApp;
class QLabel;
class QMenu;
class QStatusBar;

namespace apdesk {

class NmeaShareMenu : public QObject {
 public:
  // The window belongs to `window`; all of these outlive this.
  NmeaShareMenu(CConfigApp& app, const CLanguageManager& texts, QWidget* window);
  ~NmeaShareMenu() override;

  // Makes the window (sharing may be kept on from the last run), its label
  // at the right of `line` and its entry in `tools`.
  void Add(QMenu* tools, QStatusBar* line);
  // Null until Add.
  nmea::CNmeaShareDlg* Window() const { return m_dialog.get(); }

 private:
  // Every good "$STP", a replayed one too, goes out as GGA, RMC and VTG.
  void Listen();

  CConfigApp& m_app;
  const CLanguageManager& m_texts;
  QWidget* m_window;
  std::unique_ptr<nmea::CNmeaShareDlg> m_dialog;
  QLabel* m_status = nullptr;
};

}  // namespace apdesk

#pragma once
// File > Save parameters, Load parameters and Parameter history: parameter
// files in apctl's format, the comparison before a load or a restore, and a
// snapshot of what the controller held before every write.

#include <QObject>
#include <QPointer>
#include <QString>
#include <string>

#include "console/WindowControls.h"
#include "console/WindowState.h"
#include "localisation/CLanguageManager.h"
#include "params/ParameterCompare.h"

class CConfigApp;
class ParameterCompareDlg;
class QDialog;
class QMenu;

namespace apdesk {

class ParameterFiles : public QObject {
 public:
  // Its windows and boxes belong to `window`; all of these outlive this.
  ParameterFiles(CConfigApp& app, const WindowControls& controls, const MainWindowState& state,
                 const CLanguageManager& texts, QWidget* window);

  // Save, Load and the history at the end of the File menu.
  void AddMenu(QMenu* fileMenu);
  // The commands after their file dialogs. Load and the history open the
  // comparison (null when the file is refused or nothing was read yet).
  bool SaveTo(const QString& path);
  ParameterCompareDlg* LoadFrom(const QString& path);
  ParameterCompareDlg* OpenComparison(const Parameters& wanted, const QString& source);
  QDialog* ShowHistory();
  // Before every write the parameters last read are stored in the history;
  // when they cannot be, the operator decides. False: do not write.
  bool SnapshotBeforeWrite(const char* write);
  // The next valid "$PAR" answers Default: it is kept as the defaults.
  void ExpectDefaults() { m_awaitingDefaults = true; }
  // A valid "$PAR" arrived: what a comparison's write or a Default waited for.
  void TakeReadBack(const Parameters& p);

 private:
  void WriteComparison(ParameterCompareDlg& dlg);
  QString OperationText(const std::string& write) const;

  CConfigApp& m_app;
  const WindowControls& m_controls;
  const MainWindowState& m_state;
  const CLanguageManager& m_texts;
  QWidget* m_window;
  QPointer<ParameterCompareDlg> m_awaitingReadBack;
  bool m_awaitingDefaults = false;
};

}  // namespace apdesk

#pragma once
// The main window's alerts: fed from the session here and nowhere else, the
// newest on the status line, and the Tools menu's alert commands.

#include <QObject>
#include <functional>
#include <memory>

#include "alerts/AlertCentre.h"
#include "localisation/CLanguageManager.h"

class CConfigApp;
class QLabel;
class QMenu;
class QStatusBar;

namespace apdesk {

class CAlertsDlg;
class ConnectionStatus;

class AlertsHook : public QObject {
 public:
  // What the alerts ask of the rest of the window.
  struct Needs {
    std::function<bool()> recorderFailing;
    std::function<double()> clockSpeed;  // 1, 0 while a replay pauses, else its speed
  };

  // Its window belongs to `window`; all of these outlive this.
  AlertsHook(CConfigApp& app, const CLanguageManager& texts, QWidget* window);
  ~AlertsHook() override;

  // Makes the alerts and connects them to the session and `connection`'s
  // follower, their label to `line` and their commands to `tools`.
  void Connect(ConnectionStatus& connection, QStatusBar* line, QMenu* tools, Needs needs);
  AlertCentre& Alerts() { return *m_alerts; }
  // Tools > Alerts, made once.
  CAlertsDlg* Show();
  QLabel* Label() const { return m_label; }
  // Nothing is said from now on, not even what was queued.
  void Shutdown() { m_alerts->Shutdown(); }

 private:
  void AddCommands(QMenu* tools);

  CConfigApp& m_app;
  const CLanguageManager& m_texts;
  QWidget* m_window;
  std::unique_ptr<AlertCentre> m_alerts;
  std::unique_ptr<CAlertsDlg> m_dialog;
  QLabel* m_label = nullptr;
};

}  // namespace apdesk

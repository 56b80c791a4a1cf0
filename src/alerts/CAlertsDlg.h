#pragma once
// Tools > Alerts: the session's alerts with their times, newest last, and the
// status-line label that shows the newest one coloured by its level.

#include <QDialog>

#include <functional>

#include "alerts/AlertCentre.h"

class QLabel;
class QTableWidget;

namespace apdesk {

// Background and text colours of an alert: amber for a warning, red for a
// critical alert, green once it has cleared.
QString AlertStyleSheet(const alerts::AlertEvent& e);

class CAlertsDlg : public QDialog {
  Q_OBJECT

 public:
  CAlertsDlg(AlertCentre& centre, std::function<QString(const char*)> text, QWidget* parent = nullptr);
  QTableWidget* Table() const { return m_table; }

 private:
  void Add(const AlertEntry& entry);

  std::function<QString(const char*)> m_text;
  QTableWidget* m_table = nullptr;
};

// Shows the newest alert (and the notices) on `label`.
void ShowAlertOn(QLabel* label, const AlertEntry& entry);

}  // namespace apdesk

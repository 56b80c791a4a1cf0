#include "alerts/CAlertsDlg.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace apdesk {

QString AlertStyleSheet(const alerts::AlertEvent& e) {
  if (e.state == alerts::AlertState::Cleared)
    return "QLabel { background: #2e7d32; color: white; padding: 0 6px; }";
  if (e.level == alerts::AlertLevel::Critical)
    return "QLabel { background: #c62828; color: white; font-weight: bold; padding: 0 6px; }";
  return "QLabel { background: #ffb300; color: black; padding: 0 6px; }";
}

void ShowAlertOn(QLabel* label, const AlertEntry& entry) {
  label->setText(entry.time.toString("HH:mm:ss") + "  " + entry.text);
  label->setStyleSheet(AlertStyleSheet(entry.event));
  label->show();
}

CAlertsDlg::CAlertsDlg(AlertCentre& centre, std::function<QString(const char*)> text, QWidget* parent)
    : QDialog(parent), m_text(std::move(text)) {
  setWindowTitle(m_text("LID_ALERT_WINDOW_TITLE"));
  m_table = new QTableWidget(0, 3, this);
  m_table->setHorizontalHeaderLabels(
      {m_text("LID_ALERT_COL_TIME"), m_text("LID_ALERT_COL_LEVEL"), m_text("LID_ALERT_COL_ALERT")});
  m_table->verticalHeader()->hide();
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->horizontalHeader()->setStretchLastSection(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_table);
  resize(560, 300);
  for (const AlertEntry& e : centre.Entries()) Add(e);
  connect(&centre, &AlertCentre::AlertAdded, this, [this](const AlertEntry& e) { Add(e); });
}

void CAlertsDlg::Add(const AlertEntry& entry) {
  const int row = m_table->rowCount();
  m_table->insertRow(row);
  const char* level = entry.event.state == alerts::AlertState::Cleared    ? "LID_ALERT_LEVEL_CLEARED"
                      : entry.event.level == alerts::AlertLevel::Critical ? "LID_ALERT_LEVEL_CRITICAL"
                                                                          : "LID_ALERT_LEVEL_WARNING";
  m_table->setItem(row, 0, new QTableWidgetItem(entry.time.toString("yyyy-MM-dd HH:mm:ss")));
  m_table->setItem(row, 1, new QTableWidgetItem(m_text(level)));
  m_table->setItem(row, 2, new QTableWidgetItem(entry.text));
  m_table->resizeColumnToContents(0);
  m_table->resizeColumnToContents(1);
  m_table->scrollToBottom();
}

}  // namespace apdesk

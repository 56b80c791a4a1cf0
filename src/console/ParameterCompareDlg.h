// The comparison of the controller's parameters with a file or a snapshot:
// one row per parameter (label, unit, the controller's value, the file's),
// the differing rows ticked. "Write" hands the ticked rows to the main
// window, which writes and reads back; each written row then says whether
// the controller confirmed it. The logic is ParameterComparison's.
#pragma once

#include <QDialog>
#include <functional>

#include "params/ParameterCompare.h"

class QLabel;
class QPushButton;
class QTableWidget;

class ParameterCompareDlg : public QDialog {
  Q_OBJECT

 public:
  using TextOf = std::function<QString(const char* key)>;
  using LabelOf = std::function<QString(int controlId)>;

  ParameterCompareDlg(const apdesk::ParameterComparison& comparison, const QString& source, TextOf text,
                      LabelOf label, QWidget* parent = nullptr);

  apdesk::ParameterComparison& Comparison() { return m_comparison; }
  QTableWidget* Table() const { return m_table; }
  QPushButton* WriteButton() const { return m_write; }
  // Ticks or unticks the row of one parameter, as a click on its box does.
  void SetTicked(apdesk::ParameterId id, bool ticked);

  // Called with the ticked rows taken over from the boxes.
  std::function<void(ParameterCompareDlg&)> onWrite;
  // The controller's sentence after the write.
  void ShowReadBack(const apdesk::Parameters& readBack);

 private:
  void Fill();
  void TakeTicks();

  apdesk::ParameterComparison m_comparison;
  TextOf m_text;
  LabelOf m_label;
  QTableWidget* m_table = nullptr;
  QLabel* m_note = nullptr;
  QPushButton* m_write = nullptr;
};

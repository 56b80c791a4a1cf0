#include "console/ParameterCompareDlg.h"

#include <QBrush>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using apdesk::ComparisonRow;

namespace {
enum Column { kName, kUnit, kHeld, kWanted, kResult, kColumns };

// A choice the window's list names in the operator's language shows that
// name; other values as apctl writes them.
QString Shown(const apdesk::ParameterFacts& facts, int code, const std::string& text,
              const ParameterCompareDlg::TextOf& language) {
  for (const apdesk::ParameterChoice& c : facts.choices)
    if (c.code == code && c.textKey) return language(c.textKey);
  return QString::fromStdString(text);
}
}  // namespace

ParameterCompareDlg::ParameterCompareDlg(const apdesk::ParameterComparison& comparison, const QString& source,
                                         TextOf text, LabelOf label, QWidget* parent)
    : QDialog(parent), m_comparison(comparison), m_text(std::move(text)), m_label(std::move(label)) {
  setWindowTitle(m_text("LID_CMP_CAPTION"));
  auto* layout = new QVBoxLayout(this);
  auto* from = new QLabel(source, this);
  from->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(from);
  m_table = new QTableWidget(static_cast<int>(m_comparison.Rows().size()), kColumns, this);
  m_table->setHorizontalHeaderLabels({m_text("LID_CMP_PARAMETER"), m_text("LID_CMP_UNIT"),
                                      m_text("LID_CMP_CONTROLLER"), m_text("LID_CMP_FILE"),
                                      m_text("LID_CMP_RESULT")});
  m_table->verticalHeader()->hide();
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionMode(QAbstractItemView::NoSelection);
  layout->addWidget(m_table);
  m_note = new QLabel(this);
  layout->addWidget(m_note);
  auto* buttons = new QDialogButtonBox(this);
  m_write = buttons->addButton(m_text("LID_CMP_APPLY"), QDialogButtonBox::AcceptRole);
  QPushButton* close = buttons->addButton(m_text("LID_CMP_CLOSE"), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(m_write, &QPushButton::clicked, this, [this] {
    TakeTicks();
    bool any = false;
    for (const ComparisonRow& r : m_comparison.Rows()) any = any || r.ticked;
    if (!any) {
      m_note->setText(m_text("LID_CMP_NOTHING"));
      return;
    }
    m_note->clear();
    if (onWrite) onWrite(*this);
  });
  Fill();
  m_table->resizeColumnsToContents();
  m_table->horizontalHeader()->setStretchLastSection(true);
  resize(660, 620);
}

void ParameterCompareDlg::Fill() {
  const auto& rows = m_comparison.Rows();
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const ComparisonRow& r = rows[static_cast<std::size_t>(i)];
    const apdesk::ParameterFacts& facts = apdesk::FactsOf(r.id);
    auto cell = [&](int column, const QString& text) {
      QTableWidgetItem* item = m_table->item(i, column);
      if (!item) {
        item = new QTableWidgetItem;
        m_table->setItem(i, column, item);
      }
      item->setText(text);
      QFont font = item->font();
      font.setBold(r.differs);
      item->setFont(font);
      return item;
    };
    QTableWidgetItem* name = cell(kName, m_label(facts.labelControl));
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    name->setCheckState(r.ticked ? Qt::Checked : Qt::Unchecked);
    name->setToolTip(QString::fromUtf8(facts.name));
    cell(kUnit, facts.unitKey ? m_text(facts.unitKey) : QString());
    cell(kHeld, Shown(facts, r.heldCode, r.held, m_text));
    cell(kWanted, Shown(facts, r.wantedCode, r.wanted, m_text));
    QString result;
    if (r.readBack == ComparisonRow::ReadBack::Confirmed) result = m_text("LID_CMP_CONFIRMED");
    if (r.readBack == ComparisonRow::ReadBack::Different) result = m_text("LID_CMP_DIFFERENT");
    QTableWidgetItem* shown = cell(kResult, result);
    shown->setForeground(r.readBack == ComparisonRow::ReadBack::Different ? QBrush(Qt::red) : QBrush());
  }
}

void ParameterCompareDlg::TakeTicks() {
  auto& rows = m_comparison.Rows();
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    if (const QTableWidgetItem* item = m_table->item(i, kName))
      rows[static_cast<std::size_t>(i)].ticked = item->checkState() == Qt::Checked;
  }
}

void ParameterCompareDlg::SetTicked(apdesk::ParameterId id, bool ticked) {
  const auto& rows = m_comparison.Rows();
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    if (rows[static_cast<std::size_t>(i)].id == id)
      m_table->item(i, kName)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  }
}

void ParameterCompareDlg::ShowReadBack(const apdesk::Parameters& readBack) {
  m_comparison.ReadBack(readBack);
  Fill();
}

#include "inspector/CLinkInspectorDlg.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

#include "inspector/SentenceFields.h"

namespace {

enum Column { kTagColumn, kCountColumn, kRateColumn, kBadColumn, kColumnCount };

QString Utf8(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Sets a cell's text only when it differs, so an idle table repaints nothing.
void SetCell(QTableWidget* table, int row, int column, const QString& text) {
  QTableWidgetItem* item = table->item(row, column);
  if (item == nullptr) {
    item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (column != kTagColumn) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
  } else if (item->text() != text) {
    item->setText(text);
  }
}

void SetText(QPlainTextEdit* edit, const QString& text) {
  if (edit->toPlainText() != text) edit->setPlainText(text);
}

}  // namespace

CLinkInspectorDlg::CLinkInspectorDlg(const CLanguageManager& texts, QWidget* parent)
    : QDialog(parent), m_language(texts) {
  connect(&m_timer, &QTimer::timeout, this, [this] {
    if (isVisible()) Refresh();
  });
}

void CLinkInspectorDlg::showEvent(QShowEvent* event) {
  Create();
  m_timer.start(kRefreshMs);
  QDialog::showEvent(event);
}

// The decoded fields in the window's language: "flight status" is looked up
// as LID_INSPECT_F_FLIGHT_STATUS, the English name when the file lacks it.
QString CLinkInspectorDlg::FieldName(const std::string& name) const {
  std::string key = "LID_INSPECT_F_";
  for (char c : name) {
    const bool word = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (word) {
      key += static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    } else if (key.back() != '_') {
      key += '_';
    }
  }
  while (key.back() == '_') key.pop_back();
  return m_language.Text(key.c_str(), name.c_str());
}

QString CLinkInspectorDlg::FieldValue(const apdesk::SentenceField& field) const {
  if (field.name == "sum") {
    if (field.value == "right") return m_language.Text("LID_INSPECT_SUM_RIGHT", "right");
    if (field.value == "wrong") return m_language.Text("LID_INSPECT_SUM_WRONG", "wrong");
  }
  return Utf8(field.value);
}

void CLinkInspectorDlg::Create() {
  if (m_built) return;
  m_built = true;
  setWindowTitle(m_language.Text("LID_INSPECT_CAPTION", "Link Inspector"));
  m_summaryText =
      m_language.Text("LID_INSPECT_SUMMARY",
                      "Bytes received: %1    dropped as garbage: %2    sentences: %3    bad sums: %4    "
                      "USB reports per second: %5");
  // A figure stays on the line of its name when the summary wraps.
  m_summaryText.replace(QRegularExpression(QStringLiteral("\\s+(%\\d)")), QStringLiteral("\u00A0\\1"));
  m_lastText = m_language.Text("LID_INSPECT_LAST", "Last %1, %2 bytes:");
  m_noneText = m_language.Text("LID_INSPECT_NONE", "Last %1: none since the counters were reset");
  auto* layout = new QVBoxLayout(this);

  m_summary = new QLabel(this);
  m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Room for two lines: a narrow window or a longer translation wraps.
  m_summary->setWordWrap(true);
  m_summary->setMinimumHeight(m_summary->fontMetrics().lineSpacing() * 2 + 2);
  layout->addWidget(m_summary);

  m_table = new QTableWidget(static_cast<int>(apdesk::kTagCount), kColumnCount, this);
  m_table->setHorizontalHeaderLabels({m_language.Text("LID_INSPECT_SENTENCE", "Sentence"),
                                      m_language.Text("LID_INSPECT_COUNT", "Count"),
                                      m_language.Text("LID_INSPECT_RATE", "Per second"),
                                      m_language.Text("LID_INSPECT_BADSUMS", "Bad sums")});
  m_table->verticalHeader()->hide();
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
  for (std::size_t i = 0; i < apdesk::kTagCount; ++i) {
    const apdesk::SentenceInfo& info = apdesk::kSentenceTable[i];
    SetCell(m_table, static_cast<int>(i), kTagColumn,
            QString::fromLatin1(info.text.data(), static_cast<qsizetype>(info.text.size())));
  }
  m_table->setMinimumHeight(m_table->horizontalHeader()->sizeHint().height() +
                            static_cast<int>(apdesk::kTagCount) *
                                m_table->verticalHeader()->defaultSectionSize() +
                            2 * m_table->frameWidth());
  // The table and, beside it, the fields of the chosen tag's last sentence
  // (a "$STP" has sixteen); its bytes below, sixteen a line.
  auto* middle = new QHBoxLayout;
  middle->addWidget(m_table, 3);
  m_fields = new QPlainTextEdit(this);
  m_fields->setReadOnly(true);
  m_fields->setLineWrapMode(QPlainTextEdit::NoWrap);
  middle->addWidget(m_fields, 2);
  layout->addLayout(middle, 1);

  m_lastTitle = new QLabel(this);
  layout->addWidget(m_lastTitle);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  m_hex = new QPlainTextEdit(this);
  m_hex->setReadOnly(true);
  m_hex->setFont(fixed);
  m_hex->setLineWrapMode(QPlainTextEdit::NoWrap);
  // Seven lines: the longest sentence without scrolling.
  const QFontMetrics fm(fixed);
  m_hex->setMinimumWidth(fm.horizontalAdvance(QString(16 * 3 + 2, QLatin1Char('0'))));
  m_hex->setFixedHeight(fm.lineSpacing() * 7 + 12);
  layout->addWidget(m_hex);

  auto* buttons = new QHBoxLayout;
  m_reset = new QPushButton(m_language.Text("LID_INSPECT_RESET", "Reset counters"), this);
  auto* close = new QPushButton(m_language.Text("LID_INSPECT_CLOSE", "Close"), this);
  buttons->addWidget(m_reset);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  // Enter must not throw the counts away: no button is the default.
  m_reset->setAutoDefault(false);
  close->setAutoDefault(false);
  connect(m_reset, &QPushButton::clicked, this, &CLinkInspectorDlg::OnResetCounters);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
    if (row >= 0 && row < static_cast<int>(apdesk::kTagCount)) ShowTag(static_cast<apdesk::SentenceTag>(row));
  });
  m_table->setCurrentCell(0, kTagColumn);
  resize(760, 640);
  Refresh();
}

void CLinkInspectorDlg::OnCounters(const apdesk::ParserCounters& counters, qint64 nowMs) {
  m_stats.OnCounters(counters, nowMs);
}

void CLinkInspectorDlg::OnSentence(apdesk::SentenceTag tag, const std::uint8_t* bytes, std::size_t length) {
  m_stats.OnSentence(tag, bytes, length);
  if (tag == m_shownTag) ++m_sentenceVersion;
}

void CLinkInspectorDlg::OnReport() {
  m_stats.OnReport();
}

void CLinkInspectorDlg::OnResetCounters() {
  m_stats.Reset();
  ++m_sentenceVersion;
  Refresh();
}

void CLinkInspectorDlg::ShowTag(apdesk::SentenceTag tag) {
  Create();
  if (tag == m_shownTag) return;
  m_shownTag = tag;
  ++m_sentenceVersion;
  const int row = static_cast<int>(tag);
  if (m_table->currentRow() != row) m_table->setCurrentCell(row, kTagColumn);
  RefreshLastSentence();
}

void CLinkInspectorDlg::Refresh() {
  Create();
  if (m_stats.Version() != m_shownVersion) {
    m_shownVersion = m_stats.Version();
    for (std::size_t i = 0; i < apdesk::kTagCount; ++i) {
      const auto tag = static_cast<apdesk::SentenceTag>(i);
      const int row = static_cast<int>(i);
      SetCell(m_table, row, kCountColumn, QString::number(m_stats.Count(tag)));
      SetCell(m_table, row, kRateColumn, QString::number(m_stats.Rate(tag), 'f', 1));
      // Only the summed sentences can fail their sum.
      SetCell(m_table, row, kBadColumn,
              apdesk::kSentenceTable[i].summed ? QString::number(m_stats.BadSums(tag)) : QStringLiteral("-"));
    }
    m_summary->setText(m_summaryText.arg(m_stats.BytesReceived())
                           .arg(m_stats.BytesDropped())
                           .arg(m_stats.Sentences())
                           .arg(m_stats.AllBadSums())
                           .arg(m_stats.ReportsPerSecond(), 0, 'f', 1));
  }
  RefreshLastSentence();
}

void CLinkInspectorDlg::RefreshLastSentence() {
  if (m_sentenceVersion == m_shownSentenceVersion) return;
  m_shownSentenceVersion = m_sentenceVersion;
  const apdesk::SentenceInfo& info = apdesk::InfoOf(m_shownTag);
  const QString name = QString::fromLatin1(info.text.data(), static_cast<qsizetype>(info.text.size()));
  const std::vector<std::uint8_t>& last = m_stats.LastSentence(m_shownTag);
  if (last.empty()) {
    m_lastTitle->setText(m_noneText.arg(name));
    SetText(m_hex, QString());
    SetText(m_fields, QString());
    return;
  }
  m_lastTitle->setText(m_lastText.arg(name).arg(last.size()));
  SetText(m_hex, Utf8(apdesk::HexText(last.data(), last.size(), 16)));
  QString fields;
  for (const apdesk::SentenceField& f : apdesk::DescribeSentence(m_shownTag, last.data(), last.size()))
    fields += FieldName(f.name) + QStringLiteral(": ") + FieldValue(f) + QLatin1Char('\n');
  SetText(m_fields, fields);
}

#pragma once
// The link inspector: per sentence tag the count, the rate and the bad sums,
// the bytes dropped as garbage, USB reports per second, and the last
// sentence of the chosen tag in hex with its fields. Modeless; data come in
// through the three On... calls (from the receive path), never from a
// transport. The table is redrawn a few times a second, and only when
// something changed, so a fast link costs the window's thread little.

#include <QDialog>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <string>

#include "inspector/LinkStats.h"
#include "localisation/CLanguageManager.h"

namespace apdesk {
struct SentenceField;
}

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class CLinkInspectorDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRefreshMs = 250;

  // `texts` (the application's) outlive the window.
  explicit CLinkInspectorDlg(const CLanguageManager& texts, QWidget* parent = nullptr);

  // Builds the window's contents with the texts of m_language; call it before
  // the window is first shown (showing builds it too, if it was not).
  void Create();

  const apdesk::LinkStats& Stats() const { return m_stats; }
  QTableWidget* Table() const { return m_table; }
  QPlainTextEdit* HexView() const { return m_hex; }
  QPlainTextEdit* FieldsView() const { return m_fields; }
  QLabel* Summary() const { return m_summary; }
  QPushButton* ResetButton() const { return m_reset; }

  // The tag whose last sentence is shown (the table's current row).
  apdesk::SentenceTag ShownTag() const { return m_shownTag; }
  void ShowTag(apdesk::SentenceTag tag);

  // Redraws now if anything changed since the last redraw (the timer's work).
  void Refresh();

  const CLanguageManager& m_language;

 public slots:
  // The parser's counters, now and then; nowMs from a steady clock.
  void OnCounters(const apdesk::ParserCounters& counters, qint64 nowMs);
  // Every sentence taken out of the receive queue.
  void OnSentence(apdesk::SentenceTag tag, const std::uint8_t* bytes, std::size_t length);
  // Every USB report received.
  void OnReport();
  void OnResetCounters();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QString FieldName(const std::string& name) const;
  QString FieldValue(const apdesk::SentenceField& field) const;
  void RefreshLastSentence();

  apdesk::LinkStats m_stats;
  bool m_built = false;
  QString m_summaryText, m_lastText, m_noneText;
  std::uint64_t m_shownVersion = ~std::uint64_t{0};
  std::uint64_t m_shownSentenceVersion = ~std::uint64_t{0};
  std::uint64_t m_sentenceVersion = 0;  // grows when the shown tag's sentence changes
  apdesk::SentenceTag m_shownTag = apdesk::SentenceTag::Stp;
  QTimer m_timer;
  QLabel* m_summary = nullptr;
  QTableWidget* m_table = nullptr;
  QLabel* m_lastTitle = nullptr;
  QPlainTextEdit* m_hex = nullptr;
  QPlainTextEdit* m_fields = nullptr;
  QPushButton* m_reset = nullptr;
};

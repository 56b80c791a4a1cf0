// The inspector window fed a known stream: what its table and panes show.
#include "inspector/CLinkInspectorDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/QtTestApp.h"
#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "inspector/KnownStream.h"

namespace apdesk {
namespace {

QString Cell(const CLinkInspectorDlg& dlg, SentenceTag tag, int column) {
  const QTableWidgetItem* item = dlg.Table()->item(static_cast<int>(tag), column);
  return item ? item->text() : QStringLiteral("(none)");
}

const std::string kResources = std::string(APDESK_SOURCE_DIR) + "/resources/";

TEST(LinkInspectorWindow, ShowsTheCountsAndTheLastSentenceAndResets) {
  test::TestApp();
  const testing::KnownStream k = testing::MakeKnownStream();
  const CLanguageManager dlgTexts = testsupport::LoadedTexts(kResources, false);
  CLinkInspectorDlg dlg(dlgTexts);
  dlg.Create();
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "Link Inspector");

  SentenceParser parser;
  testing::ForwardingSink<CLinkInspectorDlg> sink(dlg);
  // Half now, half a second later: the rates have two samples to go by.
  const std::size_t half = k.bytes.size() / 2;
  parser.Append(k.bytes.data(), half);
  parser.ParseSentences(sink);
  dlg.OnReport();
  dlg.OnCounters(parser.Counters(), 1000);
  parser.Append(k.bytes.data() + half, k.bytes.size() - half);
  parser.ParseSentences(sink);
  dlg.OnReport();
  dlg.OnCounters(parser.Counters(), 1500);
  dlg.Refresh();

  for (std::size_t i = 0; i < kTagCount; ++i) {
    const auto tag = static_cast<SentenceTag>(i);
    SCOPED_TRACE(std::string(InfoOf(tag).text));
    EXPECT_EQ(Cell(dlg, tag, 0), QString::fromLatin1(InfoOf(tag).text.data(), InfoOf(tag).text.size()));
    EXPECT_EQ(Cell(dlg, tag, 1), QString::number(k.sentences[i]));
    EXPECT_EQ(Cell(dlg, tag, 3), InfoOf(tag).summed ? QString::number(k.badSums[i]) : QStringLiteral("-"));
  }
  EXPECT_EQ(Cell(dlg, SentenceTag::Stp, 2), QString::number(dlg.Stats().Rate(SentenceTag::Stp), 'f', 1));
  EXPECT_GT(dlg.Stats().Rate(SentenceTag::Stp), 0.0);
  // A figure is bound to its name (a no-break space), so a wrap never parts them.
  EXPECT_TRUE(dlg.Summary()->text().contains(QStringLiteral("dropped as garbage:\u00A0%1").arg(k.garbage)))
      << dlg.Summary()->text().toStdString();
  // One report between the two samples, half a second apart.
  EXPECT_TRUE(dlg.Summary()->text().contains(QStringLiteral("USB reports per second:\u00A02.0")))
      << dlg.Summary()->text().toStdString();

  // "$STP" is shown first: the last one, sixteen bytes a line.
  EXPECT_EQ(dlg.ShownTag(), SentenceTag::Stp);
  const QStringList lines = dlg.HexView()->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 7);
  EXPECT_TRUE(lines[0].startsWith("24 53 54 50 42 42")) << lines[0].toStdString();
  EXPECT_TRUE(dlg.FieldsView()->toPlainText().contains("sum: right"));
  EXPECT_TRUE(dlg.FieldsView()->toPlainText().contains("satellites: 66"));
  testing::KeepScreenshot(&dlg, "link-inspector");

  // Choosing a row shows that tag's last sentence; one it has no bytes of says so.
  dlg.Table()->setCurrentCell(static_cast<int>(SentenceTag::Par), 0);
  EXPECT_EQ(dlg.ShownTag(), SentenceTag::Par);
  EXPECT_TRUE(dlg.HexView()->toPlainText().startsWith("24 50 41 52 03"));
  EXPECT_TRUE(dlg.FieldsView()->toPlainText().contains("sum: wrong"));
  dlg.Table()->setCurrentCell(static_cast<int>(SentenceTag::Din), 0);
  EXPECT_TRUE(dlg.HexView()->toPlainText().isEmpty());

  // A new "$PAR" while it is shown appears at the next refresh.
  dlg.ShowTag(SentenceTag::Par);
  testing::KnownStream more;
  more.Add(SentenceTag::Par, 7);
  dlg.OnSentence(SentenceTag::Par, more.bytes.data(), more.bytes.size());
  dlg.Refresh();
  EXPECT_TRUE(dlg.HexView()->toPlainText().startsWith("24 50 41 52 07"));

  dlg.ResetButton()->click();
  for (std::size_t i = 0; i < kTagCount; ++i) EXPECT_EQ(Cell(dlg, static_cast<SentenceTag>(i), 1), "0");
  EXPECT_TRUE(dlg.HexView()->toPlainText().isEmpty());
  EXPECT_TRUE(dlg.Summary()->text().contains(QStringLiteral("dropped as garbage:\u00A00")));
  // Counting goes on from the reset.
  testing::KnownStream two;
  two.Add(SentenceTag::Stp, 1);
  two.Add(SentenceTag::Stp, 1, false);
  parser.Append(two.bytes.data(), two.bytes.size());
  parser.ParseSentences(sink);
  dlg.OnCounters(parser.Counters(), 2000);
  dlg.Refresh();
  EXPECT_EQ(Cell(dlg, SentenceTag::Stp, 1), "2");
  EXPECT_EQ(Cell(dlg, SentenceTag::Stp, 3), "1");
}

// In Chinese the texts come from Chinese.ini; the numbers are the same.
TEST(LinkInspectorWindow, ChineseTexts) {
  test::TestApp();
  const CLanguageManager dlgTexts = testsupport::LoadedTexts(kResources, true);
  CLinkInspectorDlg dlg(dlgTexts);
  dlg.Create();
  dlg.show();
  const testing::KnownStream k = testing::MakeKnownStream();
  SentenceParser parser;
  testing::ForwardingSink<CLinkInspectorDlg> sink(dlg);
  parser.Append(k.bytes.data(), k.bytes.size());
  parser.ParseSentences(sink);
  dlg.OnCounters(parser.Counters(), 0);
  dlg.Refresh();
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("链路检查"));
  EXPECT_EQ(dlg.ResetButton()->text(), QString::fromUtf8("计数清零"));
  EXPECT_TRUE(dlg.Summary()->text().startsWith(QString::fromUtf8("收到字节：%1").arg(k.bytes.size())))
      << dlg.Summary()->text().toStdString();
  EXPECT_EQ(Cell(dlg, SentenceTag::Stp, 1), QString::number(k.sentences[0]));
  // The decoded fields are named in Chinese too.
  const QString fields = dlg.FieldsView()->toPlainText();
  EXPECT_TRUE(fields.contains(QString::fromUtf8("校验和: 正确"))) << fields.toStdString();
  EXPECT_TRUE(fields.contains(QString::fromUtf8("卫星数: 66"))) << fields.toStdString();
  EXPECT_FALSE(fields.contains(QStringLiteral("satellites"))) << fields.toStdString();
  testing::KeepScreenshot(&dlg, "link-inspector-chinese");
}

}  // namespace
}  // namespace apdesk

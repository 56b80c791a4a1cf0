// The flight-records window offscreen: the folder's list with its summaries,
// a file's plots and track with the one cursor (clicked in either), and files
// it cannot show. With APDESK_SCREENSHOTS=DIR it saves the window in English
// and Chinese there.

#include "viewer/CFlightRecordsDlg.h"

#include <gtest/gtest.h>
#include <qcustomplot.h>
#include <QCoreApplication>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "app/QtTestApp.h"
#include "common/LanguageTexts.h"
#include "common/ScopedEnv.h"
#include "link/LinkTestSupport.h"
#include "viewer/FlightRecordBytes.h"

namespace apdesk {
namespace {

namespace fs = std::filesystem;

// A square circuit of 1000 records at 10 a second: 200 m sides, climbing,
// the GPS lost for records 400-449, and one damaged record.
test::Bytes Circuit() {
  test::Bytes file;
  for (int i = 0; i < 1000; ++i) {
    test::FlightPoint p;
    const double along = (i % 800) * 1.0;  // metres along the square
    const int side = static_cast<int>(along / 200);
    const double d = along - side * 200;
    const double north[] = {d, 200, 200 - d, 0}, east[] = {0, d, 200, 200 - d};
    p.north = north[side];
    p.east = east[side];
    p.fix = i < 400 || i >= 450;
    p.second = i / 10;
    p.altitudeTenths = 200 + i;
    p.voltageRaw = 3400 - i / 2;
    test::Bytes r = test::FlightRecord(p);
    if (i == 600) r[40] ^= 1;  // damaged: its sum no longer holds
    test::Append(file, r);
  }
  return file;
}

class FlightRecordsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    dir_ = fs::temp_directory_path() / ("apdesk-viewer-" + std::to_string(::getpid()));
    fs::create_directories(dir_ / "Hj");
    test::WriteFile((dir_ / "Hj" / "20240501080000.hj").string(), Circuit());
    test::WriteFile((dir_ / "Hj" / "20240502090000.hj").string(), test::Bytes(500, 'x'));
    fs::create_directories(dir_ / "Hj" / "folder.hj");  // a directory is no file to list
  }
  void TearDown() override { fs::remove_all(dir_); }

  QString Path(const char* name) const { return QString::fromStdString((dir_ / "Hj" / name).string()); }

  fs::path dir_;
};

TEST_F(FlightRecordsWindow, ListsTheFolderWithASummaryOfEachFile) {
  const CLanguageManager texts = testsupport::ProgramTexts();
  CFlightRecordsDlg dlg(texts, nullptr);
  dlg.ShowFolder(QString::fromStdString((dir_ / "Hj").string()));
  auto* list = dlg.findChild<QTreeWidget*>();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->topLevelItemCount(), 2);
  QTreeWidgetItem* newest = list->topLevelItem(0);
  QTreeWidgetItem* flight = list->topLevelItem(1);
  EXPECT_EQ(newest->text(0), QStringLiteral("20240502090000.hj"));
  ASSERT_TRUE(linktest::PumpUntil([&] { return !flight->text(3).isEmpty() && !newest->text(3).isEmpty(); }));
  EXPECT_EQ(flight->text(1), QStringLiteral("2024-05-01 08:00:00"));
  EXPECT_EQ(flight->text(2), QStringLiteral("0:01:39"));
  EXPECT_EQ(flight->text(3), QStringLiteral("999 (1 damaged)"));
  // 399 m, about 50 m straight across the lost fixes, then 549 m; counted
  // in legs longer than the GPS noise (10 m), the corners cut a little.
  EXPECT_EQ(flight->text(4), QStringLiteral("0.99 km"));
  EXPECT_EQ(flight->text(5), QStringLiteral("119.9 m"));
  EXPECT_EQ(newest->text(3), QStringLiteral("0 (5 damaged)")) << "not a record file: nothing but damage";

  dlg.ShowFolder(QString::fromStdString((dir_ / "none").string()));
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_TRUE(dlg.StatusText().startsWith(QStringLiteral("No record files")))
      << dlg.StatusText().toStdString();
}

// The list follows the folder while the window is open: a record file the
// recorder starts appears, in a folder made after the window was opened too,
// and the folder is shown whole.
TEST_F(FlightRecordsWindow, ListsFilesAddedWhileOpenAndShowsTheWholeFolder) {
  const CLanguageManager texts = testsupport::ProgramTexts();
  CFlightRecordsDlg dlg(texts, nullptr);
  auto* list = dlg.findChild<QTreeWidget*>();
  ASSERT_NE(list, nullptr);
  const fs::path later = dir_ / "later" / "Hj";
  fs::create_directories(dir_ / "later");
  fs::current_path(dir_ / "later");
  dlg.ShowFolder(QStringLiteral("Hj"));  // relative, as a copy run from its build folder has it
  EXPECT_EQ(list->topLevelItemCount(), 0);
  auto* folder = dlg.findChild<QLabel*>(QStringLiteral("folder"));
  ASSERT_NE(folder, nullptr);
  EXPECT_TRUE(folder->text().contains(QString::fromStdString(later.string())))
      << folder->text().toStdString();
  fs::create_directories(later);
  test::WriteFile((later / "20240503100000.hj").string(), Circuit());
  ASSERT_TRUE(linktest::PumpUntil([&] { return list->topLevelItemCount() == 1; }));
  ASSERT_TRUE(linktest::PumpUntil([&] { return !list->topLevelItem(0)->text(3).isEmpty(); }));
  EXPECT_EQ(list->topLevelItem(0)->text(3), QStringLiteral("999 (1 damaged)"));
  test::WriteFile((later / "20240504100000.hj").string(), Circuit());
  ASSERT_TRUE(linktest::PumpUntil([&] { return list->topLevelItemCount() == 2; }));
  EXPECT_EQ(list->topLevelItem(0)->text(0), QStringLiteral("20240504100000.hj")) << "newest first";
  EXPECT_EQ(list->topLevelItem(1)->text(3), QStringLiteral("999 (1 damaged)")) << "kept its summary";
  fs::current_path(dir_);
}

TEST_F(FlightRecordsWindow, PlotsAndTrackShareOneCursor) {
  const CLanguageManager texts = testsupport::ProgramTexts();
  CFlightRecordsDlg dlg(texts, nullptr);
  dlg.resize(1200, 800);
  dlg.show();
  dlg.ShowFile(Path("20240501080000.hj"));
  ASSERT_EQ(dlg.Flight().Size(), 999u);
  EXPECT_NE(dlg.StatusText().indexOf(QStringLiteral("999 records, 1 damaged records skipped")), -1)
      << dlg.StatusText().toStdString();

  auto* plots = dlg.findChild<QCustomPlot*>(QStringLiteral("flightPlots"));
  auto* track = dlg.findChild<QCustomPlot*>(QStringLiteral("flightTrack"));
  ASSERT_NE(plots, nullptr);
  ASSERT_NE(track, nullptr);
  ASSERT_TRUE(linktest::PumpUntil([&] { return plots->width() > 100 && track->width() > 100; }));
  plots->replot();
  track->replot();

  // A click in a plot puts the cursor on the record at that time.
  QCPAxisRect* rect = plots->axisRect(0);
  const std::size_t target = 250;
  const double x = rect->axis(QCPAxis::atBottom)->coordToPixel(dlg.Flight().times[target]);
  QTest::mouseClick(plots, Qt::LeftButton, Qt::NoModifier,
                    QPoint(static_cast<int>(std::lround(x)), rect->center().y()));
  EXPECT_LE(std::abs(static_cast<long>(dlg.CursorIndex()) - static_cast<long>(target)), 2)
      << dlg.CursorIndex();

  // A click on the track puts it on the nearest point with a fix: the far
  // corner (200, 200) is passed at record 400 of each lap, the second time
  // (record 1200) not being in the file; record 400 has no fix, so the
  // nearest is just after the gap or before it.
  const QPoint corner(static_cast<int>(std::lround(track->xAxis->coordToPixel(200))),
                      static_cast<int>(std::lround(track->yAxis->coordToPixel(200))));
  QTest::mouseClick(track, Qt::LeftButton, Qt::NoModifier, corner);
  const std::size_t i = dlg.CursorIndex();
  EXPECT_FALSE(std::isnan(dlg.Flight().east[i]));
  EXPECT_NEAR(dlg.Flight().east[i], 200, 12) << i;
  EXPECT_NEAR(dlg.Flight().north[i], 200, 60) << i;

  // Zoomed in, each series is drawn from the records in view only.
  rect->axis(QCPAxis::atBottom)->setRange(dlg.Flight().times[100], dlg.Flight().times[200]);
  QCPGraph* altitude = plots->graph(0);
  ASSERT_NE(altitude, nullptr);
  EXPECT_LE(altitude->dataCount(), 103);
  EXPECT_GE(altitude->dataCount(), 100);
  EXPECT_EQ(plots->axisRect(7)->axis(QCPAxis::atBottom)->range(), rect->axis(QCPAxis::atBottom)->range())
      << "every plot shows the same time";
  // Those records are read again from the file: each point is its own record's.
  for (auto it = altitude->data()->constBegin(); it != altitude->data()->constEnd(); ++it)
    EXPECT_NEAR(it->value, (200 + static_cast<double>(dlg.Flight().IndexAt(it->key))) / 10.0, 1e-4)
        << it->key;
  // A file gone since it was shown: the kept levels stand in, every peak still there.
  fs::remove(dir_ / "Hj" / "20240501080000.hj");
  rect->axis(QCPAxis::atBottom)->setRange(dlg.Flight().times[300], dlg.Flight().times[340]);
  ASSERT_GE(altitude->dataCount(), 2);
  double lo = 1e9, hi = -1e9;
  for (auto it = altitude->data()->constBegin(); it != altitude->data()->constEnd(); ++it)
    lo = std::min(lo, it->value), hi = std::max(hi, it->value);
  EXPECT_LE(lo, (200 + 300) / 10.0);
  EXPECT_GE(hi, (200 + 340) / 10.0);
  test::WriteFile((dir_ / "Hj" / "20240501080000.hj").string(), Circuit());

  if (const char* shots = std::getenv("APDESK_SCREENSHOTS")) {
    dlg.ShowFolder(QString::fromStdString((dir_ / "Hj").string()));
    linktest::PumpFor(200);
    dlg.ShowFile(Path("20240501080000.hj"));
    dlg.SetCursorIndex(300);
    dlg.grab().save(QString::fromUtf8(shots) + QStringLiteral("/flight-records-") +
                    QString::fromUtf8(std::getenv("LANG") ? std::getenv("LANG") : "C").left(2) +
                    QStringLiteral(".png"));
  }
}

TEST_F(FlightRecordsWindow, AFileItCannotShowLeavesTheShownOneAndSaysWhy) {
  const CLanguageManager texts = testsupport::ProgramTexts();
  CFlightRecordsDlg dlg(texts, nullptr);
  dlg.ShowFile(Path("20240501080000.hj"));
  ASSERT_EQ(dlg.Flight().Size(), 999u);
  dlg.ShowFile(Path("folder.hj"));
  EXPECT_EQ(dlg.Flight().Size(), 999u);
  EXPECT_NE(dlg.StatusText().indexOf(QStringLiteral("Cannot show folder.hj: ")), -1)
      << dlg.StatusText().toStdString();
  EXPECT_NE(dlg.StatusText().indexOf(QStringLiteral("a directory, not a record file")), -1);

  dlg.ShowFile(Path("20240502090000.hj"));
  EXPECT_EQ(dlg.Flight().Size(), 0u);
  EXPECT_NE(
      dlg.StatusText().indexOf(QStringLiteral("0 records, 5 damaged records skipped, 5 trailing bytes")), -1)
      << dlg.StatusText().toStdString();
  EXPECT_NE(dlg.StatusText().indexOf(QStringLiteral("No GPS fix")), -1);
  dlg.SetCursorIndex(10);  // nothing to point at: no crash
  auto* plots = dlg.findChild<QCustomPlot*>(QStringLiteral("flightPlots"));
  auto* track = dlg.findChild<QCustomPlot*>(QStringLiteral("flightTrack"));
  for (int g = 0; g < plots->graphCount(); ++g)
    EXPECT_EQ(plots->graph(g)->dataCount(), 0) << "graph " << g << " still shows the file before";
  for (int p = 0; p < track->plottableCount(); ++p)
    EXPECT_TRUE(track->plottable(p)->interface1D() == nullptr ||
                track->plottable(p)->interface1D()->dataCount() == 0)
        << "track plottable " << p;
}

TEST_F(FlightRecordsWindow, TextsComeFromTheChineseFile) {
  ::test::ScopedEnv lang("LANG", "zh_CN.UTF-8");
  ::test::ScopedEnv all("LC_ALL", nullptr);
  ::test::ScopedEnv messages("LC_MESSAGES", nullptr);
  const CLanguageManager texts = testsupport::ProgramTexts();
  CFlightRecordsDlg dlg(texts, nullptr);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("飞行记录"));
  auto* list = dlg.findChild<QTreeWidget*>();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->headerItem()->text(3), QStringLiteral("记录数"));
  dlg.ShowFile(Path("20240501080000.hj"));
  EXPECT_TRUE(dlg.StatusText().contains(QStringLiteral("跳过 1 条损坏的记录")))
      << dlg.StatusText().toStdString();
  auto* plots = dlg.findChild<QCustomPlot*>(QStringLiteral("flightPlots"));
  // Each row is named across its top, whole, not by a rotated title cut to
  // the row's height.
  dlg.resize(1300, 820);
  dlg.show();
  plots->replot();
  for (int r = 0; r < plots->axisRectCount(); ++r)
    EXPECT_TRUE(plots->axisRect(r)->axis(QCPAxis::atLeft)->label().isEmpty()) << r;
  QStringList titles;
  for (int i = 0; i < plots->itemCount(); ++i) {
    if (auto* text = qobject_cast<QCPItemText*>(plots->item(i))) titles << text->text();
  }
  EXPECT_TRUE(titles.contains(QStringLiteral("高度 (m)"))) << titles.join('|').toStdString();
  EXPECT_GE(titles.size(), 8) << "one name for each of the eight rows: " << titles.join('|').toStdString();
}

}  // namespace
}  // namespace apdesk

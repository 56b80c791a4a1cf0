#include "upgrade/CUpgradeDlg.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "upgrade/UpgradeTestSupport.h"

namespace apdesk {
namespace {

using upgradetest::Announcement;
using upgradetest::ArgOf;
using upgradetest::DeviceReport;
using upgradetest::Report;

class UpgradeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    lang.Write("Default.ini", upgradetest::kDefaultIni);
    lang.Write("Chinese.ini", upgradetest::kChineseIni);
  }
  void Make(bool chinese = false) {
    texts = testsupport::LoadedTexts(lang.Folder(), chinese);
    dlg.SetReplySink([this](const std::uint8_t* r) {
      Report copy;
      std::copy(r, r + 64, copy.begin());
      sent.push_back(copy);
    });
    dlg.SetDeviceCloser([this] { ++deviceCloses; });
    dlg.SetQuitRequester([this] { ++quits; });
    ASSERT_TRUE(dlg.Create(nullptr)) << dlg.Error();
  }
  QString Text(int id) const { return ControlText(dlg.Control(id)); }
  QProgressBar* Bar() const { return qobject_cast<QProgressBar*>(dlg.Control(1022)); }
  QString WriteFile(const char* name, const std::vector<std::uint8_t>& bytes) {
    const QString path = files.path() + "/" + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }
  void Feed(const Report& r) { dlg.HandleReport(r.data()); }

  // The application comes before any widget member.
  struct AppFirst {
    AppFirst() { testing::App(); }
  } appFirst;
  testing::LanguageFolder lang;
  QTemporaryDir files;
  CLanguageManager texts{"", false};  // chosen by Make()
  CUpgradeDlg dlg{texts};
  std::vector<Report> sent;
  int deviceCloses = 0;
  int quits = 0;
};

TEST_F(UpgradeWindow, CreatedHiddenWithTemplateAndLanguageTexts) {
  Make();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), "Upgrade Firmware");
  for (int id : {1033, 1021, 1008, 1032, 1022, 1018, 1019}) EXPECT_NE(dlg.Control(id), nullptr) << id;
  EXPECT_TRUE(qobject_cast<QPlainTextEdit*>(dlg.Control(1033))->isReadOnly());
  EXPECT_TRUE(Text(1033).startsWith("Connect the AP"));
  EXPECT_EQ(Text(1008), "Choose...");
  EXPECT_EQ(Text(1032), "Ready");
  EXPECT_EQ(Text(1021), "");
  EXPECT_EQ(Text(1018), "Upgrade");
  EXPECT_TRUE(dlg.Control(1018)->isHidden());
  EXPECT_FALSE(dlg.Control(1018)->isEnabled());
  EXPECT_EQ(Bar()->maximum(), 100);
  EXPECT_EQ(Bar()->value(), 0);
  EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);

  const CLanguageManager chineseTexts = testsupport::LoadedTexts(lang.Folder(), true);

  CUpgradeDlg chinese(chineseTexts);
  ASSERT_TRUE(chinese.Create(nullptr));
  EXPECT_EQ(chinese.windowTitle(), QString::fromUtf8("固件升级"));
  EXPECT_EQ(ControlText(chinese.Control(1019)), QString::fromUtf8("关闭"));
  // The ticks keep the language file's word for "Ready"; without one, "Ready".
  chinese.OnTimer();
  dlg.OnTimer();
  EXPECT_EQ(ControlText(chinese.Control(1032)), QString::fromUtf8("就绪"));
  EXPECT_EQ(Text(1032), "Ready");
}

TEST_F(UpgradeWindow, AnnouncementFloodShowsTheWindowAndTheTickClearsTheCount) {
  Make();
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 50; ++i) Feed(Announcement());
    EXPECT_FALSE(dlg.isVisible());
    dlg.OnTimer();  // fifty per tick is not yet a flood
  }
  for (int i = 0; i < 51; ++i) Feed(Announcement());
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.Exchange().Announcements(), 50);
  EXPECT_TRUE(sent.empty());  // no image: never answered
}

TEST_F(UpgradeWindow, ChoosingAnImageDisablesChooseAndStartsTheOffers) {
  Make();
  const std::vector<std::uint8_t> image = upgradetest::RandomImage(1000, 5);
  const QString path = WriteFile("fw.bin", image);
  ASSERT_TRUE(dlg.LoadImageFile(path));
  EXPECT_EQ(Text(1021), QDir::toNativeSeparators(path));
  EXPECT_TRUE(dlg.Control(1018)->isEnabled());
  EXPECT_FALSE(dlg.Control(1008)->isEnabled());
  Feed(Announcement());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], 0x30);
  EXPECT_EQ(ArgOf(sent[0]), 1000);
}

TEST_F(UpgradeWindow, AFileThatCannotBeReadSaysWhyAndKeepsChoose) {
  Make();
  // A missing file, an empty one (which would erase the firmware and still
  // report success) and one too large ever to be offered are refused alike.
  const struct {
    QString path;
    QString reason;
  } refused[] = {{files.path() + "/missing.bin", "missing.bin"},
                 {WriteFile("empty.bin", {}), "empty"},
                 {WriteFile("big.bin", std::vector<std::uint8_t>(917504, 1)), "too large"}};
  for (const auto& [path, reason] : refused) {
    SCOPED_TRACE(path.toStdString());
    EXPECT_FALSE(dlg.LoadImageFile(path));
    EXPECT_EQ(Text(1021), QDir::toNativeSeparators(path));
    EXPECT_TRUE(dlg.Control(1008)->isEnabled());
    EXPECT_FALSE(dlg.Control(1018)->isEnabled());
    EXPECT_TRUE(Text(1032).contains(reason)) << Text(1032).toStdString();
    // Announcements keep coming; the reason stays until a step begins.
    for (int i = 0; i < 5; ++i) Feed(Announcement());
    dlg.OnTimer();
    EXPECT_TRUE(Text(1032).contains(reason));
    EXPECT_TRUE(sent.empty());
  }
  // A good file afterwards is taken; the largest that can be offered too.
  EXPECT_TRUE(dlg.LoadImageFile(WriteFile("good.bin", std::vector<std::uint8_t>(917503, 1))));
  EXPECT_FALSE(dlg.Control(1008)->isEnabled());
  Feed(Announcement());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(ArgOf(sent[0]), 917503);
}

// The tick shows the status text of the step that last began, and the
// progress against its maximum (16 bits), the position kept in range.
TEST_F(UpgradeWindow, TickShowsStatusAndProgress) {
  Make();
  ASSERT_TRUE(dlg.LoadImageFile(WriteFile("fw.bin", upgradetest::RandomImage(560, 1))));
  Feed(Announcement());  // steps count once the boot loader is there
  dlg.OnTimer();
  struct Step {
    Report report;
    const char* status;
    int maximum;
    int value;
  };
  const std::vector<Step> steps = {
      {DeviceReport(0x31, 3), "Erasing the flash...", 7, 3},
      {DeviceReport(0x31, 90), "Erasing the flash...", 7, 7},
      {DeviceReport(0x32, 4), "Downloading the firmware...", 10, 4},
      {DeviceReport(0x32, -4), "Downloading the firmware...", 10, 0},
      {DeviceReport(0x50), "Downloading the firmware...", 10, 0},
      {DeviceReport(0x51, 5), "Verifying...", 10, 0},
  };
  for (const Step& s : steps) {
    const QString before = Text(1032);
    Feed(s.report);
    EXPECT_EQ(Text(1032), before);  // only the tick refreshes the label
    dlg.OnTimer();
    EXPECT_EQ(Text(1032), s.status);
    EXPECT_EQ(Bar()->maximum(), s.maximum);
    EXPECT_EQ(Bar()->value(), s.value);
    dlg.OnTimer();
  }
  // The timer itself runs: the label follows within a tick or two.
  Feed(DeviceReport(0x31, 1));
  EXPECT_TRUE(upgradetest::PumpUntil([&] { return Text(1032) == "Erasing the flash..."; }, 1000));
}

TEST_F(UpgradeWindow, MissingStatusKeyGivesAnEmptyStatus) {
  lang.Write("Default.ini", "[public]\nLID_PUB_UPGRADE_ERASE=Erasing\n");
  Make();
  Feed(Announcement());
  Feed(DeviceReport(0x31, 1));
  dlg.OnTimer();
  EXPECT_EQ(Text(1032), "Erasing");
  Feed(DeviceReport(0x32, 0));
  dlg.OnTimer();
  EXPECT_EQ(Text(1032), "");
}

TEST_F(UpgradeWindow, CloseEndsTheExchangeClosesTheDeviceAndRequestsQuit) {
  Make();
  ASSERT_TRUE(dlg.LoadImageFile(WriteFile("fw.bin", {1, 2, 3})));
  for (int i = 0; i < 51; ++i) Feed(Announcement());
  ASSERT_TRUE(dlg.isVisible());
  sent.clear();

  // Enter and Escape do not reach the window.
  QTest::keyClick(&dlg, Qt::Key_Escape);
  QTest::keyClick(dlg.Control(1019), Qt::Key_Return);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(quits, 0);

  QTest::mouseClick(qobject_cast<QPushButton*>(dlg.Control(1019)), Qt::LeftButton);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(deviceCloses, 1);
  EXPECT_EQ(quits, 1);
  EXPECT_EQ(dlg.Exchange().State(), UpgradeState::Idle);
  Feed(Announcement());
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0][0], 0xFF);
}

// Opened from the menu, Close only closes the window; raised by a boot
// loader it ends the program, and the hint says so before it happens.
TEST_F(UpgradeWindow, CloseEndsTheProgramOnlyWhenABootLoaderRaisedTheWindow) {
  Make();
  for (const bool fromMenu : {true, false, true}) {
    quits = deviceCloses = 0;
    if (fromMenu) dlg.ShowFromMenu();
    for (int i = 0; i < 51; ++i) Feed(Announcement());  // raises the window only when hidden
    ASSERT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.CloseEndsProgram(), !fromMenu);
    EXPECT_EQ(Text(1033).contains("Close ends apdesk"), !fromMenu) << Text(1033).toStdString();
    EXPECT_TRUE(Text(1033).startsWith("Connect the AP"));
    QTest::mouseClick(qobject_cast<QPushButton*>(dlg.Control(1019)), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(quits, fromMenu ? 0 : 1);
    EXPECT_EQ(deviceCloses, fromMenu ? 0 : 1);
    dlg.OnTimer();  // clears the announcement count
  }

  // The warning in the window's language, where the language file has it.
  const CLanguageManager chineseTexts = testsupport::LoadedTexts(lang.Folder(), true);
  CUpgradeDlg chinese(chineseTexts);
  chinese.SetQuitRequester([] {});
  ASSERT_TRUE(chinese.Create(nullptr));
  for (int i = 0; i < 51; ++i) chinese.HandleReport(Announcement().data());
  EXPECT_TRUE(ControlText(chinese.Control(1033)).endsWith(QString::fromUtf8("关闭将退出 apdesk。")));
  testing::KeepScreenshot(&chinese, "upgrade-close-ends-chinese");
  for (int i = 0; i < 51; ++i) Feed(Announcement());
  testing::KeepScreenshot(&dlg, "upgrade-close-ends");
}

}  // namespace
}  // namespace apdesk

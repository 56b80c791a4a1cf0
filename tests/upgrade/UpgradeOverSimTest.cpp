// The upgrade window against the simulated boot loader, over the real HID
// link and its event path: flood, offer, erase, download, verify, finish.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "link/ControllerSession.h"
#include "sim/SimHidBackend.h"
#include "upgrade/CUpgradeDlg.h"
#include "upgrade/UpgradeTestSupport.h"

namespace apdesk {
namespace {

using upgradetest::ArgOf;
using upgradetest::PumpFor;
using upgradetest::PumpUntil;
using upgradetest::Report;

// One tool and one simulated boot loader, connected.
class Rig {
 public:
  Rig(const testing::LanguageFolder& lang, bool chinese, sim::SimOptions options)
      : Rig(lang.Folder(), chinese, options) {}
  Rig(const std::string& languageFolder, bool chinese, sim::SimOptions options)
      : texts(testsupport::LoadedTexts(languageFolder, chinese)) {
    testing::App();
    options.bootloader = true;
    link = std::make_unique<CHidLink>(sim::MakeSimHidBackend(options, &handle));
    dlg = std::make_unique<CUpgradeDlg>(texts);
    dlg->SetReplySink([this](const std::uint8_t* r) {
      Report copy;
      std::copy(r, r + 64, copy.begin());
      sent.push_back(copy);
      link->WriteReport(r);
    });
    dlg->SetDeviceCloser([this] { link->Close(); });
    dlg->SetQuitRequester([this] { ++quits; });
    created = dlg->Create(nullptr);
    owner = std::make_unique<upgradetest::MainWindowStandIn>(*link, *dlg);
    opened = link->Open(0x0483, 0x5750);
  }
  ~Rig() {
    owner.reset();
    link->Stop();
  }

  // The boot loader floods until the window shows; then the operator chooses the file.
  bool FloodThenChoose(const QString& path) {
    if (!PumpUntil([&] { return dlg->isVisible(); }, 10000)) return false;
    return dlg->LoadImageFile(path);
  }
  bool Finished(int timeoutMs) {
    return PumpUntil([&] { return handle->UpgradeComplete() && dlg->Exchange().FinishAcknowledged(); },
                     timeoutMs);
  }
  int Count(std::uint8_t code, std::int32_t arg = -1) const {
    int n = 0;
    for (const Report& r : sent) n += r[0] == code && (arg < 0 || ArgOf(r) == arg);
    return n;
  }
  QString Status() {
    dlg->OnTimer();
    return ControlText(dlg->Control(1032));
  }

  CLanguageManager texts;
  std::shared_ptr<sim::SimHandle> handle;
  std::unique_ptr<CHidLink> link;
  std::unique_ptr<CUpgradeDlg> dlg;
  std::unique_ptr<upgradetest::MainWindowStandIn> owner;
  std::vector<Report> sent;
  int quits = 0;
  bool created = false;
  bool opened = false;
};

class UpgradeOverSim : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::App();
    lang.Write("Default.ini", upgradetest::kDefaultIni);
    lang.Write("Chinese.ini", upgradetest::kChineseIni);
  }
  QString WriteImage(const std::vector<std::uint8_t>& bytes) {
    const QString path = files.path() + QStringLiteral("/fw%1.bin").arg(++fileCount);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }

  testing::LanguageFolder lang;
  QTemporaryDir files;
  int fileCount = 0;
};

// The whole exchange for sizes off and on the 56-byte grid: the simulator
// ends up with the file's bytes, the status shows success, and the finish
// report goes out until the device has acknowledged it, then no more.
TEST_F(UpgradeOverSim, EndToEndImageArrivesWhole) {
  for (std::size_t size : {std::size_t{1000}, std::size_t{1120}, std::size_t{20000}}) {
    SCOPED_TRACE(size);
    const std::vector<std::uint8_t> image = upgradetest::RandomImage(size, static_cast<unsigned>(size));
    Rig rig(lang, false, sim::SimOptions{});
    ASSERT_TRUE(rig.created && rig.opened);
    ASSERT_TRUE(rig.FloodThenChoose(WriteImage(image)));
    EXPECT_FALSE(rig.dlg->Control(1008)->isEnabled());

    // Mid-way: the download is shown against the image's blocks.
    ASSERT_TRUE(PumpUntil([&] { return rig.dlg->Exchange().State() == UpgradeState::Downloading; }));
    EXPECT_EQ(rig.Status(), "Downloading the firmware...");
    EXPECT_EQ(rig.dlg->Exchange().ProgressMaximum(), static_cast<std::int32_t>(size / 56));

    ASSERT_TRUE(rig.Finished(20000));
    EXPECT_EQ(rig.handle->ReceivedImage(), image);
    EXPECT_EQ(rig.Status(), "Upgrade succeeded! Please power the AP off and on.");
    EXPECT_EQ(rig.dlg->Exchange().State(), UpgradeState::Idle);

    const std::int32_t last = static_cast<std::int32_t>(size / 56) + 1;
    EXPECT_EQ(rig.Count(0x33), 1);
    EXPECT_EQ(rig.Count(0x33, last), 1);
    if (size % 56 == 0) {
      // One all-zero 0x32 block before the 0x33 block.
      for (const Report& r : rig.sent) {
        if (r[0] == 0x32 && ArgOf(r) == last - 1) {
          EXPECT_TRUE(std::all_of(r.begin() + 6, r.begin() + 62, [](std::uint8_t b) { return b == 0; }));
        }
      }
    }
    EXPECT_GE(rig.Count(0x32, last - 1), 1);

    // Finish reports: only at the end, at least one, the last thing sent.
    ASSERT_GE(rig.Count(0xFF), 1);
    EXPECT_EQ(rig.sent.back()[0], 0xFF);
    std::size_t firstFinish = 0;
    while (rig.sent[firstFinish][0] != 0xFF) ++firstFinish;
    for (std::size_t i = firstFinish; i < rig.sent.size(); ++i) EXPECT_EQ(rig.sent[i][0], 0xFF);
    EXPECT_GE(rig.handle->Counters().finishReports, 1u);
    const std::size_t sentAtAck = rig.sent.size();
    PumpFor(300);
    EXPECT_EQ(rig.sent.size(), sentAtAck);
    EXPECT_EQ(rig.quits, 0);
  }
}

TEST_F(UpgradeOverSim, ImageOfTheFlashSizeIsNeverOffered) {
  Rig rig(lang, false, sim::SimOptions{});
  ASSERT_TRUE(rig.created && rig.opened);
  // Refused with its reason, so the operator can choose another file.
  ASSERT_TRUE(PumpUntil([&] { return rig.dlg->isVisible(); }));
  EXPECT_FALSE(rig.dlg->LoadImageFile(WriteImage(upgradetest::RandomImage(917504, 3))));
  EXPECT_TRUE(rig.dlg->Control(1008)->isEnabled());
  PumpFor(400);
  EXPECT_TRUE(rig.sent.empty());
  EXPECT_EQ(rig.handle->Counters().offers, 0u);
  EXPECT_GT(rig.handle->Counters().announcements, 100u);
  EXPECT_TRUE(rig.Status().contains("too large")) << rig.Status().toStdString();
  rig.handle->With([](sim::SimController& c) { EXPECT_EQ(c.Phase(), sim::BootPhase::kAnnounce); });
}

TEST_F(UpgradeOverSim, CorruptedReadBackEndsInVerifyErrorNeverSuccess) {
  sim::SimOptions options;
  options.faults.corruptReadBackBlock = 3;
  Rig rig(lang, false, options);
  ASSERT_TRUE(rig.FloodThenChoose(WriteImage(upgradetest::RandomImage(1000, 9))));
  ASSERT_TRUE(
      PumpUntil([&] { return rig.dlg->Exchange().Status() == std::string("LID_PUB_UPGRADE_VERIFYERR"); }));
  // The device keeps repeating its read-back; it gets no answer and changes nothing.
  PumpFor(500);
  EXPECT_EQ(rig.Status(), "Verification failed! Please upgrade again.");
  EXPECT_EQ(rig.dlg->Exchange().State(), UpgradeState::Idle);
  EXPECT_EQ(rig.Count(0xFF), 0);
  EXPECT_FALSE(rig.handle->UpgradeComplete());
  EXPECT_GT(rig.handle->Counters().requestRetries, 0u);
  EXPECT_EQ(rig.Count(0x51, 4), 0);
}

TEST_F(UpgradeOverSim, LostRequestAndWrongReadBackAreMadeGood) {
  struct Case {
    const char* name;
    int dropBlockRequest;
    int wrongReadBackBlock;
  };
  for (const Case c : {Case{"dropped block request", 2, -1}, Case{"read-back of another block", -1, 2}}) {
    SCOPED_TRACE(c.name);
    sim::SimOptions options;
    options.faults.dropBlockRequest = c.dropBlockRequest;
    options.faults.wrongReadBackBlock = c.wrongReadBackBlock;
    const std::vector<std::uint8_t> image = upgradetest::RandomImage(700, 4);
    Rig rig(lang, false, options);
    ASSERT_TRUE(rig.FloodThenChoose(WriteImage(image)));
    ASSERT_TRUE(rig.Finished(10000));
    EXPECT_EQ(rig.handle->ReceivedImage(), image);
    EXPECT_EQ(rig.Status(), "Upgrade succeeded! Please power the AP off and on.");
    if (c.dropBlockRequest >= 0) {
      EXPECT_GE(rig.handle->Counters().requestRetries, 1u);
      EXPECT_EQ(rig.Count(0x32, 2), 1);  // answered once, when the repeat came
    } else {
      EXPECT_GE(rig.Count(0x51, 2), 2);  // asked for again
    }
  }
}

// As in the program: the window takes the session's USB reports itself (none
// while Open USB runs) and answers through the session's HID link.
TEST_F(UpgradeOverSim, TheWindowListensToTheSessionItself) {
  const CLanguageManager texts = testsupport::LoadedTexts(lang.Folder(), false);
  sim::SimOptions options;
  options.bootloader = true;
  std::shared_ptr<sim::SimHandle> handle;
  ControllerSession session(sim::MakeSimHidBackend(options, &handle));
  CUpgradeDlg dlg(texts);
  dlg.SetQuitRequester([] {});
  ASSERT_TRUE(dlg.Create(nullptr));
  dlg.Listen(session);
  ASSERT_TRUE(session.OpenUsb(0x0483, 0x5750));
  PumpFor(300);
  EXPECT_EQ(dlg.Exchange().Announcements(), 0);
  session.EndUsbOpening();
  ASSERT_TRUE(PumpUntil([&] { return dlg.isVisible(); }));
  const std::vector<std::uint8_t> image = upgradetest::RandomImage(3000, 3);
  ASSERT_TRUE(dlg.LoadImageFile(WriteImage(image)));
  ASSERT_TRUE(
      PumpUntil([&] { return handle->UpgradeComplete() && dlg.Exchange().FinishAcknowledged(); }, 20000));
  EXPECT_EQ(handle->ReceivedImage(), image);
  session.Stop();
}

TEST_F(UpgradeOverSim, VanishingDeviceLeavesTheProgramRunning) {
  Rig rig(lang, false, sim::SimOptions{});
  rig.owner->afterReport = [&](const std::uint8_t* r) {
    Report report;
    std::copy(r, r + 64, report.begin());
    if (report[0] == 0x32 && ArgOf(report) == 5) rig.handle->Unplug();
  };
  ASSERT_TRUE(rig.FloodThenChoose(WriteImage(upgradetest::RandomImage(5000, 8))));
  ASSERT_TRUE(PumpUntil([&] { return rig.handle->Vanished(); }));
  const std::uint64_t received = rig.owner->received;
  PumpFor(500);
  EXPECT_LE(rig.owner->received, received + 1);
  EXPECT_EQ(rig.dlg->Exchange().State(), UpgradeState::Downloading);
  EXPECT_EQ(rig.Status(), "Downloading the firmware...");
  EXPECT_TRUE(rig.dlg->isVisible());
  EXPECT_FALSE(rig.handle->UpgradeComplete());
  // The operator can still close: the device is closed, the program asked to end.
  rig.dlg->OnClose();
  EXPECT_FALSE(rig.link->IsOpen());
  EXPECT_EQ(rig.quits, 1);
  EXPECT_FALSE(rig.dlg->isVisible());
}

// With the language files the program ships (beside the test, in Language/):
// every status of the exchange has a text, and the window mid-way through an
// upgrade can be looked at (APDESK_SCREENSHOTS=<folder>).
TEST_F(UpgradeOverSim, ShippedTextsMidUpgrade) {
  const std::string shipped = (QCoreApplication::applicationDirPath() + "/").toStdString();
  for (bool chinese : {false, true}) {
    SCOPED_TRACE(chinese ? "Chinese.ini" : "Default.ini");
    Rig rig(shipped, chinese, sim::SimOptions{});
    ASSERT_TRUE(rig.created && rig.opened);
    ASSERT_EQ(rig.dlg->m_language.m_fileName, chinese ? "Chinese.ini" : "Default.ini");
    for (const char* key : {kUpgradeStatusErase, kUpgradeStatusDownload, kUpgradeStatusVerify,
                            kUpgradeStatusVerifyError, kUpgradeStatusSuccess, "LID_PUB_UPGRADE_CAPTION"}) {
      EXPECT_FALSE(rig.dlg->m_language.GetPublicText(key).empty()) << key;
    }
    EXPECT_EQ(rig.dlg->windowTitle(), rig.dlg->m_language.PublicTextForDisplay("LID_PUB_UPGRADE_CAPTION"));
    EXPECT_FALSE(ControlText(rig.dlg->Control(1033)).isEmpty());

    ASSERT_TRUE(rig.FloodThenChoose(WriteImage(upgradetest::RandomImage(30000, 2))));
    ASSERT_TRUE(PumpUntil([&] { return rig.dlg->Exchange().ProgressPosition() >= 200; }));
    rig.dlg->OnTimer();
    const QImage shot = rig.dlg->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    testing::KeepScreenshot(shot, chinese ? "upgrade-mid-chinese" : "upgrade-mid-english");
    EXPECT_EQ(ControlText(rig.dlg->Control(1032)),
              rig.dlg->m_language.PublicTextForDisplay(kUpgradeStatusDownload));
    ASSERT_TRUE(rig.Finished(20000));
    EXPECT_EQ(rig.Status(), rig.dlg->m_language.PublicTextForDisplay(kUpgradeStatusSuccess));
  }
}

}  // namespace
}  // namespace apdesk

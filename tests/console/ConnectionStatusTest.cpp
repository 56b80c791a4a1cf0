// The main window while its controller goes away and comes back: apsim
// stopped and started again at the same path over a pseudo-terminal and over
// a socket, the simulated controller unplugged and back as its boot loader,
// and a controller that appears after start. The status line, the absence of
// boxes, the parameters asked again and the flight record kept whole.
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "app/QtTestApp.h"
#include "application/CConfigApp.h"
#include "common/ApsimProcess.h"
#include "common/BoxRecorder.h"
#include "common/WaitUntil.h"
#include "console/CSetApDlg.h"
#include "link/HidSockBackend.h"
#include "recorder/RecordFile.h"
#include "sim/SimHidBackend.h"

namespace apdesk {
namespace {

using testsupport::ApsimProcess;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  return testsupport::WaitUntil(done, timeoutMs);
}

// Plays whichever back end the test puts in, or no device at all: a
// controller unplugged, plugged in later, or back as another device.
struct BackendSlot {
  std::unique_ptr<IHidBackend> backend;
  std::vector<std::unique_ptr<IHidBackend>> gone;  // kept while their devices may close
  void Unplug() {
    if (backend) gone.push_back(std::move(backend));
  }
};

class SlotBackend : public IHidBackend {
 public:
  explicit SlotBackend(std::shared_ptr<BackendSlot> slot) : m_slot(std::move(slot)) {}
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t v, std::uint16_t p) override {
    return m_slot->backend ? m_slot->backend->Enumerate(v, p) : std::vector<HidDeviceInfo>{};
  }
  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    return m_slot->backend ? m_slot->backend->OpenPath(path) : nullptr;
  }

 private:
  std::shared_ptr<BackendSlot> m_slot;
};

std::unique_ptr<IHidBackend> Sim(bool bootloader, std::shared_ptr<sim::SimHandle>* handle = nullptr) {
  sim::SimOptions options;
  options.rateHz = 20;
  options.faults.garbage = false;
  options.bootloader = bootloader;
  return sim::MakeSimHidBackend(options, handle);
}

class ConnectionStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApp();
    m_binDir = QDir::currentPath();
    ASSERT_TRUE(m_dir.isValid());
    QDir().mkpath(m_dir.filePath("Language"));
    for (const char* file : {"Default.ini", "Chinese.ini"}) {
      QFile::copy(m_binDir + "/Language/" + file, m_dir.filePath(QString("Language/") + file));
    }
    // The recorder writes "Hj" under the current folder.
    QDir::setCurrent(m_dir.path());
    setenv("LC_ALL", "en_GB.UTF-8", 1);
  }
  void TearDown() override {
    QDir::setCurrent(m_binDir);
    unsetenv("LC_ALL");
  }

  std::unique_ptr<CConfigApp> MakeApp(std::unique_ptr<IHidBackend> backend) {
    return std::make_unique<CConfigApp>(m_dir.filePath("apdesk").toStdString(), std::move(backend));
  }
  // The part of a language text before its first value.
  static QString Lead(CSetApDlg& w, const char* key) {
    return w.m_language.PublicTextForDisplay(key).section("%1", 0, 0);
  }
  static QString Line(CSetApDlg& w) {
    w.Connection().Refresh();
    return w.Connection().Text();
  }
  bool LineStartsWith(CSetApDlg& w, const char* key, int timeoutMs = 5000) {
    const QString lead = Lead(w, key);
    return !lead.isEmpty() && WaitFor([&] { return Line(w).startsWith(lead); }, timeoutMs);
  }
  void Shoot(CSetApDlg& w, const char* what) {
    const QString name =
        m_binDir + QString("/statusline_%1_%2.png").arg(w.m_language.m_isChinese ? "zh" : "en").arg(what);
    EXPECT_TRUE(w.StatusLine()->grab().save(name)) << name.toStdString();
  }

  // The one record file holds exactly `shown`, whole and in order.
  void ExpectRecordFileHolds(const std::vector<std::vector<std::uint8_t>>& shown) {
    const QStringList files = QDir(m_dir.filePath("Hj")).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1) << "one record file throughout";
    RecordScan scan;
    std::string error;
    ASSERT_TRUE(ReadRecordFile(m_dir.filePath("Hj/" + files[0]).toStdString(), &scan, &error)) << error;
    EXPECT_EQ(scan.skipped, 0u);
    EXPECT_EQ(scan.trailingBytes, 0u);
    ASSERT_EQ(scan.records.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
      ASSERT_EQ(std::memcmp(scan.records[i].data(), shown[i].data(), kRecordSize), 0) << "record " << i;
  }

  // The window connected through `open` to apsim started with `args`; apsim
  // stops and starts again at the same path. Afterwards the window is closed,
  // so its recorder has written everything, and the record file is checked.
  // Returns seconds from the restart to the first record after it. `openBoxes`:
  // the boxes the open itself shows (a press of Open USB: its hint; an open
  // at start: none).
  double LoseAndReturn(const std::vector<std::string>& args, std::unique_ptr<IHidBackend> backend,
                       const std::function<void(CSetApDlg&)>& open, const char* connectedKey,
                       std::size_t openBoxes = 1) {
    ApsimProcess apsim;
    if (!apsim.Start(args)) {
      ADD_FAILURE() << "apsim did not start";
      return -1;
    }
    BoxRecorder boxes;
    auto app = MakeApp(std::move(backend));
    std::vector<std::vector<std::uint8_t>> shown;
    int parameterSentences = 0;
    double returnSeconds = -1;
    {
      CSetApDlg w(*app);
      QObject::connect(&app->Session().Link(), &ControllerLink::StatusSentence,
                       [&](const std::uint8_t* s) { shown.emplace_back(s, s + kRecordSize); });
      QObject::connect(&app->Session().Link(), &ControllerLink::ParameterSentence,
                       [&](const std::uint8_t*) { ++parameterSentences; });
      open(w);
      EXPECT_EQ(boxes.Texts().size(), openBoxes);  // the open's own hint
      EXPECT_TRUE(LineStartsWith(w, connectedKey)) << Line(w).toStdString();
      EXPECT_TRUE(WaitFor([&] { return shown.size() >= 10 && w.m_paramsValid; }));

      apsim.Stop();
      EXPECT_TRUE(LineStartsWith(w, "LID_LINK_LOST", 3000)) << Line(w).toStdString();
      const std::size_t before = shown.size();
      const int parametersBefore = parameterSentences;

      QElapsedTimer sinceReturn;
      sinceReturn.start();
      EXPECT_TRUE(apsim.Start(args));
      EXPECT_TRUE(WaitFor([&] {
        if (returnSeconds < 0 && shown.size() > before) returnSeconds = sinceReturn.elapsed() / 1000.0;
        return shown.size() >= before + 10;
      }));
      EXPECT_TRUE(LineStartsWith(w, connectedKey, 1000)) << Line(w).toStdString();
      // Asked for the parameters again, without a box.
      EXPECT_TRUE(WaitFor([&] { return parameterSentences > parametersBefore && w.m_paramsValid; }));
      EXPECT_EQ(boxes.Texts().size(), openBoxes);
      // Nothing more comes in while the window closes.
      app->Session().Usb().Close();
      app->Session().Serial().Close();
    }
    ExpectRecordFileHolds(shown);
    std::printf("[ figure ] talking again %.2f s after the device returned\n", returnSeconds);
    EXPECT_GE(returnSeconds, 0);
    // The target is 2 s; the bound is generous for a busy machine.
    EXPECT_LT(returnSeconds, 5.0);
    return returnSeconds;
  }

  QString m_binDir;
  QTemporaryDir m_dir;
};

TEST_F(ConnectionStatusTest, SerialPortGoesAndReturnsWithoutABox) {
  if (!ApsimProcess::Available()) GTEST_SKIP() << "apsim is not built beside the tests";
  const std::string link = m_dir.filePath("ttyAP").toStdString();
  LoseAndReturn(
      {"--serial", "--link", link, "--no-garbage", "--rate", "20"}, nullptr,
      [&](CSetApDlg& w) { w.OpenComPort(QString::fromStdString(link)); }, "LID_LINK_SERIAL", 0);
}

TEST_F(ConnectionStatusTest, UsbDeviceGoesAndReturnsWithoutABox) {
  if (!ApsimProcess::Available()) GTEST_SKIP() << "apsim is not built beside the tests";
  const std::string socket = m_dir.filePath("ap.sock").toStdString();
  LoseAndReturn(
      {"--hidsock", socket, "--no-garbage", "--rate", "20"}, MakeHidSockBackend(socket),
      [](CSetApDlg& w) { w.OnOpenUsb(); }, "LID_LINK_USB");
}

// The controller restarts into its boot loader: the same ids, another device.
// It is reopened, and the upgrade window sees its announcements, without
// Open USB pressed again.
TEST_F(ConnectionStatusTest, BootLoaderAfterUnplugIsReopenedForTheUpgradeWindow) {
  BoxRecorder boxes;
  auto slot = std::make_shared<BackendSlot>();
  std::shared_ptr<sim::SimHandle> flight;
  slot->backend = Sim(false, &flight);
  auto app = MakeApp(std::make_unique<SlotBackend>(slot));
  CSetApDlg w(*app);
  w.OnOpenUsb();
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  EXPECT_FALSE(w.m_upgradeDlg.isVisible());

  flight->Unplug();
  slot->Unplug();
  EXPECT_TRUE(LineStartsWith(w, "LID_LINK_LOST", 3000)) << Line(w).toStdString();
  slot->backend = Sim(true);
  EXPECT_TRUE(WaitFor([&] { return w.m_upgradeDlg.isVisible(); }, 4000));
  EXPECT_TRUE(LineStartsWith(w, "LID_LINK_USB", 1000)) << Line(w).toStdString();
  EXPECT_EQ(boxes.Texts().size(), 1u);  // Open USB's hint only
  EXPECT_GE(w.Connection().Follower().LastReturnMs(), 0);
}

// --connect auto: no device at start; the first that appears is opened and
// asked for its parameters, no box either way.
TEST_F(ConnectionStatusTest, WaitingForUsbOpensTheFirstControllerThatAppears) {
  BoxRecorder boxes;
  auto slot = std::make_shared<BackendSlot>();
  auto app = MakeApp(std::make_unique<SlotBackend>(slot));
  CSetApDlg w(*app);
  EXPECT_TRUE(Line(w).startsWith(w.m_language.PublicTextForDisplay("LID_LINK_NONE")));
  w.Connection().Follower().WaitForUsb();
  EXPECT_EQ(Line(w), w.m_language.PublicTextForDisplay("LID_LINK_WAITING"));
  QThread::msleep(300);
  QCoreApplication::processEvents();
  EXPECT_FALSE(app->Session().Usb().IsOpen());

  std::shared_ptr<sim::SimHandle> sim;
  slot->backend = Sim(false, &sim);
  EXPECT_TRUE(WaitFor([&] { return w.m_paramsValid; }, 4000));
  EXPECT_GE(sim->Counters().getParameters, 1);
  EXPECT_TRUE(LineStartsWith(w, "LID_LINK_USB", 1000)) << Line(w).toStdString();
  EXPECT_TRUE(boxes.Texts().empty());
}

// Tools > Connect USB automatically: remembered in the settings file, and
// looking starts at once.
TEST_F(ConnectionStatusTest, AutomaticUsbIsASwitchInTheToolsMenu) {
  auto slot = std::make_shared<BackendSlot>();
  auto app = MakeApp(std::make_unique<SlotBackend>(slot));
  CSetApDlg w(*app);
  QAction* toggle = nullptr;
  for (QAction* a : w.ToolsMenu()->actions()) {
    if (a->text() == w.m_language.PublicTextForDisplay("LID_MENU_AUTO_USB")) toggle = a;
  }
  ASSERT_NE(toggle, nullptr);
  EXPECT_FALSE(toggle->isChecked());
  toggle->trigger();
  EXPECT_EQ(app->GetSettingInt("Settings1", kAutoConnectKey, 0), 1);
  EXPECT_TRUE(w.Connection().Follower().Looking());
  toggle->trigger();
  EXPECT_EQ(app->GetSettingInt("Settings1", kAutoConnectKey, 1), 0);
  EXPECT_FALSE(w.Connection().Follower().Looking());
  // A new window shows the remembered choice.
  toggle->trigger();
  CSetApDlg again(*app);
  bool checked = false;
  for (QAction* a : again.ToolsMenu()->actions()) checked = checked || (a->isCheckable() && a->isChecked());
  EXPECT_TRUE(checked);
}

// The status line in both languages, connected and lost; the pictures are
// left beside the tests to be looked at.
TEST_F(ConnectionStatusTest, StatusLineScreenshots) {
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    BoxRecorder boxes;
    std::shared_ptr<sim::SimHandle> sim;
    auto app = MakeApp(Sim(false, &sim));
    CSetApDlg w(*app);
    w.show();
    w.OnOpenUsb();
    ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
    WaitFor([] { return false; }, 1500);  // a whole window of the rate
    ASSERT_TRUE(LineStartsWith(w, "LID_LINK_USB"));
    // A rate and an age are shown once records came.
    EXPECT_FALSE(Line(w).contains(w.m_language.PublicTextForDisplay("LID_LINK_NO_RECORD")));
    Shoot(w, "connected");
    if (!w.m_language.m_isChinese)
      w.grab().save(QString::fromStdString(m_binDir.toStdString() + "/statusline_window.png"));
    sim->Unplug();
    ASSERT_TRUE(LineStartsWith(w, "LID_LINK_LOST", 3000));
    Shoot(w, "lost");
    EXPECT_EQ(boxes.Texts().size(), 1u);
  }
}

}  // namespace
}  // namespace apdesk

// The main window driven by control id, against the simulated controller, a
// scripted HID device and a pseudo-terminal standing in for a serial port.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "application/CConfigApp.h"
#include "common/BoxRecorder.h"
#include "common/LoopbackClient.h"
#include "common/Pty.h"
#include "common/TestApp.h"
#include "common/WaitUntil.h"
#include "console/CSetApDlg.h"
#include "console/ParameterCompareDlg.h"
#include "console/ScriptedHid.h"
#include "inspector/CLinkInspectorDlg.h"
#include "params/ParameterFile.h"
#include "params/SnapshotStore.h"
#include "protocol/SentenceBytes.h"
#include "sim/SimHidBackend.h"
#include "telemetryplots/CTelemetryPlotsDlg.h"
#include "ui/Pictures.h"

namespace apdesk {
namespace {

using test::Bytes;

QApplication* App() {
  return &testsupport::TestApp();
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
  return testsupport::WaitUntil(done, timeoutMs);
}

void Pump(int ms) {
  WaitFor([] { return false; }, ms);
}

// The byte stream the tool wrote, reports joined.
Bytes Joined(const std::vector<test::ScriptedHid::Report>& reports) {
  Bytes all;
  for (const auto& r : reports) all.insert(all.end(), r.begin(), r.end());
  return all;
}

// Offsets of every 30-byte frame with this header and code byte (0: any).
std::vector<std::size_t> FramesIn(const Bytes& stream, const char* header, std::uint8_t code = 0) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i + 30 <= stream.size(); ++i) {
    if (std::memcmp(stream.data() + i, header, 5) == 0 && (code == 0 || stream[i + 5] == code))
      at.push_back(i);
  }
  return at;
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    m_binDir = QDir::currentPath();
    ASSERT_TRUE(m_dir.isValid());
    QDir().mkpath(m_dir.filePath("Language"));
    for (const char* file : {"Default.ini", "Chinese.ini"}) {
      QFile::copy(m_binDir + "/Language/" + file, m_dir.filePath(QString("Language/") + file));
    }
    // The recorder writes "Hj" under the current folder: keep it in the scratch folder.
    QDir::setCurrent(m_dir.path());
    setenv("LC_ALL", "en_GB.UTF-8", 1);
    // Writes store snapshots: into the scratch folder, not the user's history.
    setenv("XDG_DATA_HOME", m_dir.filePath("data").toUtf8().constData(), 1);
  }
  void TearDown() override {
    QDir::setCurrent(m_binDir);
    unsetenv("LC_ALL");
  }

  std::unique_ptr<CConfigApp> MakeApp(std::unique_ptr<IHidBackend> backend) {
    return std::make_unique<CConfigApp>(m_dir.filePath("apdesk").toStdString(), std::move(backend));
  }
  std::unique_ptr<CConfigApp> MakeSimApp(std::shared_ptr<sim::SimHandle>* handle, double rateHz = 20) {
    sim::SimOptions options;
    options.rateHz = rateHz;
    options.faults.garbage = false;
    return MakeApp(sim::MakeSimHidBackend(options, handle));
  }
  std::unique_ptr<CConfigApp> MakeScriptedApp() {
    m_hid = std::make_shared<test::ScriptedHid>();
    return MakeApp(std::make_unique<test::ScriptedHidBackend>(m_hid));
  }
  QString Settings() const {
    QFile f(m_dir.filePath("MPCFG.ini"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  static void Click(CSetApDlg& w, int id) {
    auto* b = w.ControlAs<QPushButton>(id);
    ASSERT_NE(b, nullptr) << id;
    b->click();
  }
  static QString Text(const CSetApDlg& w, int id) { return ControlText(w.Control(id)); }
  static void Type(CSetApDlg& w, int id, const QString& text) { w.ControlAs<QLineEdit>(id)->setText(text); }
  static QString Lid(CSetApDlg& w, const char* key) { return w.m_language.PublicTextForDisplay(key); }

  QString m_binDir;
  QTemporaryDir m_dir;
  std::shared_ptr<test::ScriptedHid> m_hid;
};

TEST_F(MainWindowTest, OpenUsbAsksTwiceAndFillsTheParameterControls) {
  BoxRecorder boxes;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeSimApp(&sim);
  CSetApDlg w(*app);
  Click(w, 1019);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], Lid(w, "LID_USB_HINT1"));
  EXPECT_FALSE(boxes.Texts()[0].isEmpty());
  EXPECT_EQ(w.m_usbOpening, 0);
  ASSERT_TRUE(WaitFor([&] { return sim->Counters().getParameters == 2 && w.m_paramsValid; }));

  const sim::ParameterSentence p = sim->Parameters();
  EXPECT_EQ(Text(w, 1156), QString::number(p[33]));
  EXPECT_EQ(Text(w, 1140), QString::number(p[38]));
  EXPECT_EQ(Text(w, 1154), QString::number(p[24]));
  EXPECT_EQ(Text(w, 1149), QString::number(p[5] & 0x0F));
  EXPECT_EQ(Text(w, 1150), QString::number(p[25] * 10));
  EXPECT_EQ(Text(w, 1151), QString::number(p[28] * 10));
  EXPECT_EQ(w.ControlAs<QComboBox>(1163)->currentIndex(), p[7] - 80);
  EXPECT_EQ(w.ControlAs<QComboBox>(1155)->currentIndex(), p[43] >> 6);
  EXPECT_EQ(w.ControlAs<QComboBox>(1016)->currentIndex(), (p[43] >> 2) & 3);
  EXPECT_EQ(std::memcmp(w.m_lastParams.data(), p.data(), 45), 0);
  // Telemetry streams on: the status fields fill.
  EXPECT_TRUE(WaitFor([&] { return Text(w, 1141) == "102406"; }));
}

// Connected at start (--connect, --simulate, auto-connect) nobody pressed a
// button: the status line says it and no box waits for an OK. A press of
// Open USB still gets its box.
TEST_F(MainWindowTest, AConnectionAtStartIsToldOnTheStatusLine) {
  BoxRecorder boxes;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeSimApp(&sim);
  CSetApDlg w(*app);
  w.OpenUsb(false);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(w.StatusLine()->currentMessage(), Lid(w, "LID_USB_HINT1"));
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  Click(w, 1019);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], Lid(w, "LID_USB_HINT1"));
}

TEST_F(MainWindowTest, AnEditedSendReachesTheController) {
  BoxRecorder boxes;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeSimApp(&sim);
  CSetApDlg w(*app);
  Click(w, 1019);
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  const sim::ParameterSentence before = sim->Parameters();

  Type(w, 1156, "77");
  Type(w, 1150, "1230");
  Type(w, 1144, "-56");
  w.ControlAs<QComboBox>(1160)->setCurrentIndex(2);
  Click(w, 1028);
  ASSERT_TRUE(WaitFor([&] { return sim->Counters().setAccepted == 1; }));
  const sim::ParameterSentence after = sim->Parameters();
  EXPECT_EQ(after[33], 77);
  EXPECT_EQ(after[25], 123);
  EXPECT_EQ(after[17], 200);
  EXPECT_EQ(after[9], 250);
  EXPECT_EQ(after[4], before[4]);  // carried over
  EXPECT_EQ(after[42], before[42]);
  EXPECT_EQ(w.m_altitudeLimit, 1230);
  EXPECT_EQ(boxes.Texts().size(), 1u);  // only the Open USB hint
}

TEST_F(MainWindowTest, DefaultRestoresPausesAndAsksAgain) {
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  Click(w, 1019);
  Pump(100);
  const std::size_t writtenBefore = m_hid->Written().size();

  boxes.answers.push_back(BoxAnswer::No);
  Click(w, 1029);
  Pump(150);
  EXPECT_EQ(m_hid->Written().size(), writtenBefore);  // No sends nothing
  ASSERT_EQ(boxes.requests.size(), 2u);
  EXPECT_EQ(boxes.requests[1].text, Text(w, 1029) + "?");
  EXPECT_EQ(boxes.requests[1].buttons, BoxButtons::YesNo);

  QElapsedTimer clock;
  clock.start();
  Click(w, 1029);  // answered Yes
  // Two frames at 50 ms each and the pause between them.
  EXPECT_GE(clock.elapsed(), CSetApDlg::kDefaultPauseMs + 2 * CHidLink::kSendPauseMs);
  ASSERT_TRUE(WaitFor([&] { return FramesIn(Joined(m_hid->Written()), "$WIFI", 0x68).size() == 3; }));
  const Bytes stream = Joined(m_hid->Written());
  const auto restore = FramesIn(stream, "$HFMR");
  ASSERT_EQ(restore.size(), 1u);
  EXPECT_GT(FramesIn(stream, "$WIFI", 0x68).back(), restore[0]);
}

TEST_F(MainWindowTest, StatusFieldsShowTheFormattedTelemetry) {
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  Click(w, 1019);

  Bytes s = test::Status();
  test::PutFloat(s, 4, 22.5f);
  test::PutFloat(s, 8, 114.25f);
  test::PutFloat(s, 20, 3.14159265f / 2);
  s[24] = 9;
  s[48] = 0x18, s[49] = 0xFC;  // -100.0
  s[70] = 0x00, s[71] = 0x08;  // 10.000 V
  s[75] = 15;                  // "Manual Set Altitude"
  test::PutS32(s, 62, -5);
  test::PutS32(s, 66, 3);
  s[96] = 0x39, s[97] = 0x30;  // 112345
  s[32] = 131;                 // rudder 3 off centre: red
  s[33] = 129;                 // aileron 1 off: green
  s[35] = 192;                 // throttle t = 8 -> 7: yellow, drawn as 1
  test::PutSum(s);
  Bytes stream = {0, 0};
  test::Add(stream, s);
  m_hid->Push(stream);

  ASSERT_TRUE(WaitFor([&] { return !Text(w, 1146).isEmpty(); }));
  EXPECT_EQ(Text(w, 1146), "22.500000");
  EXPECT_EQ(Text(w, 1145), "114.250000");
  EXPECT_EQ(Text(w, 1147), "-100.0");
  EXPECT_EQ(Text(w, 1148), "90.0");
  EXPECT_EQ(Text(w, 1152), "10.000");
  EXPECT_EQ(Text(w, 1141), "112345");
  EXPECT_EQ(Text(w, 1142), "9");
  EXPECT_EQ(Text(w, 1143), Lid(w, "LID_PUB_Left") + " 3," + Lid(w, "LID_PUB_Down") + " 5");
  EXPECT_EQ(w.ControlAs<QComboBox>(1021)->currentIndex(), 12);
  EXPECT_EQ(w.m_stickPanel.m_values[kRudder], 3);
  EXPECT_EQ(w.m_stickPanel.m_colors[kRudder], kStickRed);
  EXPECT_EQ(w.m_stickPanel.m_values[kAileron], 1);
  EXPECT_EQ(w.m_stickPanel.m_colors[kAileron], kStickGreen);
  EXPECT_EQ(w.m_stickPanel.m_values[kThrottle], 1);
  EXPECT_EQ(w.m_stickPanel.m_colors[kThrottle], kStickYellow);

  // A status beyond the list's entries leaves it without a selection.
  s[75] = 14;
  test::PutSum(s);
  m_hid->Push(s);
  ASSERT_TRUE(WaitFor([&] { return w.ControlAs<QComboBox>(1021)->currentIndex() == -1; }));

  // Both sentences went to this run's record file.
  const QString record =
      m_dir.filePath(QString("Hj/") + QString::fromStdString(w.m_recorder.RecordFileName()));
  EXPECT_TRUE(WaitFor([&] { return QFileInfo(record).size() == 2 * 99; }));

  // "$TBS": the capture button's text and the two values.
  m_hid->Push(test::InstallError(1.5f, -0.3f));
  ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() == 2; }));
  EXPECT_EQ(boxes.Texts()[1], Text(w, 1002) + "[1.5,-0.3]");
  EXPECT_EQ(boxes.requests[1].icon, BoxIcon::None);
}

TEST_F(MainWindowTest, ListsAfterInitialisation) {
  auto app = MakeApp(nullptr);
  CSetApDlg w(*app);
  auto* status = w.ControlAs<QComboBox>(1021);
  ASSERT_EQ(status->count(), 14);
  EXPECT_TRUE(status->itemText(13).isEmpty());
  EXPECT_EQ(status->itemText(12), Lid(w, "LID_PUB_ManualSetAltitude"));
  EXPECT_FALSE(status->isEnabled());
  EXPECT_EQ(w.ControlAs<QComboBox>(1218)->count(), 4);
  EXPECT_EQ(w.ControlAs<QComboBox>(1139)->count(), 6);
  EXPECT_EQ(w.ControlAs<QComboBox>(1139)->itemText(0), "3.6" + Lid(w, "LID_PUB_MS"));
  EXPECT_EQ(w.ControlAs<QComboBox>(1016)->itemText(3), "3.70" + Lid(w, "LID_PUB_V"));
  EXPECT_EQ(w.ControlAs<QComboBox>(1155)->itemText(3), "400Hz");
  for (int id : {1155, 1021, 1218, 1159, 1160, 1139, 1016, 1163}) {
    EXPECT_EQ(w.ControlAs<QComboBox>(id)->currentIndex(), 0) << id;
  }
  EXPECT_EQ(Text(w, 1150), "0");
  EXPECT_EQ(Text(w, 1151), "0");
  EXPECT_EQ(w.windowTitle(), Lid(w, "LID_MAIN_CAPTION"));
  EXPECT_EQ(w.m_stickPanel.m_axisNames[kThrottle], Lid(w, "LID_PUB_Throttle"));
  w.show();
  for (int shown : {1001, 1003, 1088, 1019}) EXPECT_TRUE(w.Control(shown)->isVisible()) << shown;
  for (int hidden : {2020, 1002, 1158, 1153, 1161, 1162})
    EXPECT_FALSE(w.Control(hidden)->isVisible()) << hidden;
}

TEST_F(MainWindowTest, AircraftTypeWrapsAndPicksItsPicture) {
  auto app = MakeApp(nullptr);
  CSetApDlg w(*app);
  auto* types = w.ControlAs<QComboBox>(1159);
  ASSERT_EQ(types->count(), 4);
  struct Case {
    int start;
    bool next;
    int expect;
  } cases[] = {{3, true, 0}, {0, true, 1}, {0, false, 3}, {2, false, 1}, {-1, true, 0}, {-1, false, 3}};
  for (const Case& c : cases) {
    types->setCurrentIndex(c.start);
    c.next ? w.OnNextAircraft() : w.OnPrevAircraft();
    EXPECT_EQ(types->currentIndex(), c.expect) << c.start << (c.next ? " next" : " prev");
    EXPECT_EQ(w.ShownAircraftBitmap(), 202 + c.expect);
  }
  types->setCurrentIndex(-1);
  w.UpdateAircraftPicture();
  EXPECT_EQ(w.ShownAircraftBitmap(), 211);
  EXPECT_EQ(w.ControlAs<QLabel>(1250)->pixmap().toImage(),
            AircraftPicture(211).convertToFormat(w.ControlAs<QLabel>(1250)->pixmap().toImage().format()));

  // A selection made without a notification shows at the next paint.
  w.show();
  Pump(50);
  types->setCurrentIndex(1);
  EXPECT_EQ(w.ShownAircraftBitmap(), 211);
  w.repaint();
  EXPECT_EQ(w.ShownAircraftBitmap(), 203);
  EXPECT_EQ(types->currentIndex(), 1);
}

TEST_F(MainWindowTest, UserDefinedSpeedFieldFollowsTheChoice) {
  auto app = MakeApp(nullptr);
  CSetApDlg w(*app);
  w.show();
  auto* speed = w.ControlAs<QComboBox>(1139);
  for (auto [index, shown] : {std::pair{5, true}, {2, false}, {5, true}, {0, false}}) {
    speed->setCurrentIndex(index);
    emit speed->activated(index);
    EXPECT_EQ(w.Control(1158)->isVisible(), shown) << index;
  }
}

TEST_F(MainWindowTest, StickModeSurvivesARestart) {
  auto app = MakeApp(nullptr);
  {
    CSetApDlg w(*app);
    EXPECT_EQ(w.ControlAs<QComboBox>(1218)->currentIndex(), 0);
    auto* modes = w.ControlAs<QComboBox>(1218);
    modes->setCurrentIndex(2);
    emit modes->activated(2);
    EXPECT_EQ(w.m_stickPanel.m_stickMode, 2);
  }
  EXPECT_TRUE(Settings().contains("[HANDMODE]"));
  EXPECT_TRUE(Settings().contains("HandValue=2"));
  app.reset();
  app = MakeApp(nullptr);
  CSetApDlg again(*app);
  EXPECT_EQ(again.ControlAs<QComboBox>(1218)->currentIndex(), 2);
  EXPECT_EQ(again.m_stickPanel.m_stickMode, 2);
}

TEST_F(MainWindowTest, RefusedSendsAreBoxesAndSendNothing) {
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  Click(w, 1019);
  Click(w, 1028);  // before any "$PAR"
  ASSERT_EQ(boxes.Texts().size(), 2u);
  EXPECT_EQ(boxes.Texts()[1], Lid(w, "LID_HINT_READFIRST"));

  m_hid->Push(test::Parameters({{7, 80}, {9, 100}, {25, 50}, {28, 60}, {32, 90}, {34, 1}}));
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  EXPECT_EQ(Text(w, 1150), "500");

  struct Case {
    const char* altitude;
    const char* distance;
    const char* gimbalRoll;
    QString expect;
  } cases[] = {
      {"1501", "100", "0", Lid(w, "LID_HINT_ALT")},
      {"-1", "100", "0", Lid(w, "LID_HINT_ALT")},
      {"abc", "100", "0", Lid(w, "LID_HINT_ALT")},
      {"1500", "1501", "0", Lid(w, "LID_HINT_DIS")},
      {"1500", "1500", "300",
       Lid(w, "LID_HINT_RANGE")
           .replace("%1", Text(w, 1234).trimmed())
           .replace("%2", "-127")
           .replace("%3", "128")},
  };
  for (const Case& c : cases) {
    Type(w, 1150, c.altitude);
    Type(w, 1151, c.distance);
    Type(w, 1144, c.gimbalRoll);
    Click(w, 1028);
    ASSERT_FALSE(boxes.Texts().empty());
    EXPECT_EQ(boxes.Texts().back(), c.expect) << c.altitude << " " << c.distance << " " << c.gimbalRoll;
  }
  Pump(100);
  EXPECT_TRUE(FramesIn(Joined(m_hid->Written()), "$WIFI", 0x73).empty());

  // A good Send goes out; opening the link again forgets the sentence.
  Type(w, 1144, "-56");
  Click(w, 1028);
  ASSERT_TRUE(WaitFor([&] { return FramesIn(Joined(m_hid->Written()), "$WIFI", 0x73).size() == 1; }));
  const Bytes stream = Joined(m_hid->Written());
  const std::size_t frame = FramesIn(stream, "$WIFI", 0x73)[0];
  EXPECT_EQ(stream[frame + 7 + 12], 200);  // block byte 12: gimbal roll
  EXPECT_EQ(stream[frame + 7 + 16], 150);  // altitude 1500 / 10
  const std::size_t shown = boxes.Texts().size();
  Click(w, 1019);
  Click(w, 1028);
  ASSERT_EQ(boxes.Texts().size(), shown + 2);
  EXPECT_EQ(boxes.Texts().back(), Lid(w, "LID_HINT_READFIRST"));
}

TEST_F(MainWindowTest, OpenUsbWithoutADeviceSaysSoAndStaysOpening) {
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  m_hid->present = false;
  CSetApDlg w(*app);
  Click(w, 1019);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], Lid(w, "LID_USB_HINT2"));
  EXPECT_EQ(w.m_usbOpening, 1);
  Pump(100);
  EXPECT_TRUE(m_hid->Written().empty());
}

TEST_F(MainWindowTest, FitsTheScreenWithRoomForItsFrame) {
  // At its template's font the main window is 752 pixels high: with a title
  // bar above it, its lowest buttons would be off a screen of 800 or fewer
  // (the offscreen one, a 768-pixel laptop).
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  constexpr int kTitleBar = 48;
  EXPECT_LE(w.width(), room.width());
  EXPECT_LE(w.height() + kTitleBar, room.height());
  for (int id : {1019, 1000, 1027, 1028, 1029}) {
    const QRect place = w.Control(id)->geometry();
    EXPECT_LE(place.bottom(), w.height()) << id;
    const QString text = ControlText(w.Control(id));
    EXPECT_LE(w.Control(id)->fontMetrics().horizontalAdvance(text), place.width()) << id;
  }
}

TEST_F(MainWindowTest, AMissingLanguageFileIsSaidOnceAtStart) {
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  {
    CSetApDlg w(*app);
    EXPECT_TRUE(boxes.Texts().empty());
  }
  // The application reads the texts once, at its start.
  app.reset();
  QFile::remove(m_dir.filePath("Language/Default.ini"));
  app = MakeScriptedApp();
  CSetApDlg w(*app);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_TRUE(boxes.Texts()[0].contains("Language/Default.ini")) << boxes.Texts()[0].toStdString();
  EXPECT_EQ(boxes.requests[0].icon, BoxIcon::Warning);
}

TEST_F(MainWindowTest, UpgradeWindowSeesReportsOnlyAfterOpenUsb) {
  sim::SimOptions options;
  options.bootloader = true;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeApp(sim::MakeSimHidBackend(options, &sim));
  CSetApDlg w(*app);
  int boxes = 0;
  bool seenDuringBox = false;
  // The Open USB box runs a nested loop: reports keep arriving meanwhile.
  MessageBoxes::SetHandler([&](const BoxRequest&) {
    ++boxes;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 400) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (w.m_upgradeDlg.Exchange().Announcements() > 0 || w.m_upgradeDlg.isVisible()) seenDuringBox = true;
    }
    return BoxAnswer::Ok;
  });
  Click(w, 1019);
  EXPECT_EQ(boxes, 1);
  EXPECT_GT(w.Parser().Counters().bytesAppended, 0u);  // they did reach the receive queue
  EXPECT_FALSE(seenDuringBox);
  EXPECT_TRUE(WaitFor([&] { return w.m_upgradeDlg.isVisible(); }));
  MessageBoxes::ResetHandler();
}

TEST_F(MainWindowTest, ButtonsOfTheRightGroupAndTheGpsCheck) {
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  w.show();
  Click(w, 1019);

  // Adjust Transmitter: the three hints, each followed by an empty line.
  Click(w, 1000);
  EXPECT_TRUE(w.m_adjustDlg.isVisible());
  const QString hint = ControlText(w.m_adjustDlg.Control(1018));
  EXPECT_EQ(hint, Lid(w, "LID_HINT_Transmitter1") + "\n\n" + Lid(w, "LID_HINT_Transmitter2") + "\n\n" +
                      Lid(w, "LID_HINT_Transmitter3") + "\n");

  // The hidden capture button still sends its command.
  w.OnCaptureInstallError();
  ASSERT_TRUE(WaitFor([&] { return FramesIn(Joined(m_hid->Written()), "$WIFI", 0xFE).size() == 1; }));

  // GPS check: modal; telemetry reaches it while it is open, and not after.
  Bytes s = test::Status();
  test::PutFloat(s, 8, 114.25f);
  test::PutSum(s);
  bool activeWhileOpen = false;
  QString longitudeShown;
  QTimer::singleShot(100, &w, [&] {
    activeWhileOpen = w.m_gpsCheckDlg.m_checkActive == 1;
    m_hid->Push(s);
    WaitFor([&] { return !ControlText(w.m_gpsCheckDlg.Control(1018)).isEmpty(); }, 2000);
    longitudeShown = ControlText(w.m_gpsCheckDlg.Control(1018));
    w.m_gpsCheckDlg.reject();
  });
  Click(w, 1088);
  EXPECT_TRUE(activeWhileOpen);
  EXPECT_EQ(longitudeShown, "114.250000");
  EXPECT_EQ(w.m_gpsCheckDlg.m_checkActive, 0);
}

// A language file that is empty or holds no texts warns as a missing one does.
TEST_F(MainWindowTest, AnEmptyOrTextlessLanguageFileWarnsOnce) {
  for (const char* content : {"", "\x01\x02 not a language file"}) {
    QFile file(m_dir.filePath("Language/Default.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    BoxRecorder boxes;
    auto app = MakeApp(nullptr);
    CSetApDlg w(*app);
    ASSERT_EQ(boxes.Texts().size(), 1u) << content;
    EXPECT_TRUE(boxes.Texts()[0].contains("Language/Default.ini could not be used"))
        << boxes.Texts()[0].toStdString();
    EXPECT_TRUE(boxes.Texts()[0].contains(*content ? "it holds no texts" : "it is empty"))
        << boxes.Texts()[0].toStdString();
  }
}

// Neither Enter nor Escape ends the main window (unsent edits would be lost);
// Enter still checks the limit fields. The close box ends it.
TEST_F(MainWindowTest, EnterNeedsIntegerLimitsAndNeitherKeyEndsTheWindow) {
  BoxRecorder boxes;
  auto app = MakeApp(nullptr);
  CSetApDlg w(*app);
  w.show();
  Type(w, 1150, "12a");
  w.Control(1150)->setFocus();
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(w.Control(1150), &enter);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], QString::fromUtf8("请键入一个整数。"));
  EXPECT_EQ(w.focusWidget(), w.Control(1150));

  Type(w, 1150, "100");
  Type(w, 1151, "200");
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QKeyEvent keypadEnter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
  for (QKeyEvent* key : {&enter, &keypadEnter, &escape}) {
    QApplication::sendEvent(w.Control(1150), key);
    QApplication::sendEvent(w.Control(1156), key);
    EXPECT_TRUE(w.isVisible()) << key->key();
  }
  EXPECT_EQ(w.m_altitudeLimit, 100);
  EXPECT_EQ(w.m_distanceLimit, 200);
  EXPECT_EQ(boxes.Texts().size(), 1u);
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
}

// A disk that refuses the flight record: said once, with the reason and the
// records that wait, and at the end how many were lost; in the window's language.
TEST_F(MainWindowTest, RecordsTheDiskRefusesAreToldOnceThenCountedAsLost) {
  QFile blocker(m_dir.filePath("Hj"));  // a file where the folder would go
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  const struct {
    const char* locale;
    const char* failing;
    const char* lost;
  } cases[] = {
      {"en_GB.UTF-8", "Flight records are not being written to %1/Hj/",
       "Flight records that could not be written"},
      {"zh_CN.UTF-8", "飞行记录未能写入 %1/Hj/", "10 条飞行记录未能写入"},
  };
  // The message names the whole path, not "Hj/" of some folder.
  const QString folder = QDir(m_dir.path()).canonicalPath();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    setenv("LC_ALL", c.locale, 1);
    BoxRecorder boxes;
    auto recorderBoxes = [&] {
      std::vector<QString> texts;
      for (const QString& t : boxes.Texts()) {
        if (t.contains(QString::fromUtf8(c.failing).arg(folder)) || t.contains(QString::fromUtf8(c.lost)))
          texts.push_back(t);
      }
      return texts;
    };
    auto app = MakeScriptedApp();
    {
      CSetApDlg w(*app);
      w.show();
      Click(w, 1019);
      for (int i = 0; i < 5; ++i) m_hid->Push(test::Status());
      ASSERT_TRUE(WaitFor([&] { return recorderBoxes().size() == 1; }));
      for (int i = 0; i < 5; ++i) m_hid->Push(test::Status());
      ASSERT_TRUE(WaitFor([&] { return w.m_recorder.RecordsWaiting() == 10; }));
      Pump(200);
      ASSERT_EQ(recorderBoxes().size(), 1u);
      EXPECT_TRUE(recorderBoxes()[0].startsWith(QString::fromUtf8(c.failing).arg(folder)))
          << recorderBoxes()[0].toStdString();
      EXPECT_TRUE(recorderBoxes()[0].contains("a part of the path is not a folder"))
          << recorderBoxes()[0].toStdString();
    }
    ASSERT_EQ(recorderBoxes().size(), 2u);
    EXPECT_TRUE(recorderBoxes()[1].startsWith(QString::fromUtf8(c.lost))) << recorderBoxes()[1].toStdString();
  }
}

TEST_F(MainWindowTest, OpenComOverAPseudoTerminal) {
  testsupport::Pty pty(testsupport::Pty::Slave::Held);
  const QString path = QString::fromStdString(pty.SlavePath());
  ASSERT_FALSE(path.isEmpty());
  BoxRecorder boxes;
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  Click(w, 1019);
  ASSERT_TRUE(app->Session().Usb().IsOpen());

  w.OpenComPort(path);                          // as --connect serial:PORT: told on the status line
  EXPECT_FALSE(app->Session().Usb().IsOpen());  // opening one transport closes the other
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(w.StatusLine()->currentMessage(), Lid(w, "LID_COM_HINT1"));
  EXPECT_EQ(w.ControlAs<QComboBox>(1001)->currentText(), path);
  EXPECT_TRUE(Settings().contains("COMPORT=" + path));
  EXPECT_TRUE(Settings().contains("COMCONF=EDAAAAAABAAAAAAAMBAAAAAA"));

  Bytes request;
  WaitFor(
      [&] {
        const Bytes got = pty.TakeWaiting();
        request.insert(request.end(), got.begin(), got.end());
        return request.size() >= 30;
      },
      2000);
  ASSERT_EQ(request.size(), 30u);
  const Bytes expect = {0x24, 0x57, 0x49, 0x46, 0x49, 0x68, 0x68, 0x68};
  EXPECT_TRUE(std::equal(expect.begin(), expect.end(), request.begin()));

  Bytes s = test::Status();
  s[96] = 0x39, s[97] = 0x30;
  test::PutSum(s);
  Bytes stream = {'x', 'y'};
  test::Add(stream, s);
  ASSERT_TRUE(pty.WriteMaster(stream.data(), stream.size()));
  EXPECT_TRUE(WaitFor([&] { return Text(w, 1141) == "112345"; }));

  // A port that does not exist: the failure hint, nothing opened.
  w.OpenComPort(m_dir.filePath("no-such-port"));
  EXPECT_TRUE(w.StatusLine()->currentMessage().startsWith(Lid(w, "LID_COM_HINT2").simplified()))
      << w.StatusLine()->currentMessage().toStdString();
  EXPECT_TRUE(w.StatusLine()->currentMessage().contains("no such port"))
      << w.StatusLine()->currentMessage().toStdString();
  EXPECT_FALSE(app->Session().Serial().IsOpen());
}

TEST_F(MainWindowTest, OpenComAgainstApsimOnAPseudoTerminal) {
  const QString apsim = QCoreApplication::applicationDirPath() + "/apsim";
  if (!QFileInfo::exists(apsim)) GTEST_SKIP() << "apsim not built";
  QProcess peer;
  peer.start(apsim, {"--serial", "--rate", "20", "--no-garbage"});
  ASSERT_TRUE(peer.waitForStarted(3000));
  ASSERT_TRUE(WaitFor([&] { return peer.canReadLine(); }, 5000));
  const QString path = QString::fromLocal8Bit(peer.readLine()).trimmed();
  ASSERT_FALSE(path.isEmpty());

  BoxRecorder boxes;
  auto app = MakeApp(nullptr);
  CSetApDlg w(*app);
  w.OpenComPort(path);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_EQ(w.StatusLine()->currentMessage(), Lid(w, "LID_COM_HINT1"));
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid && Text(w, 1141) == "102406"; }, 5000));

  // Send, spoil the field, Get: the controller's value comes back.
  Type(w, 1156, "77");
  Click(w, 1028);
  Type(w, 1156, "1");
  Pump(200);
  Click(w, 1027);
  EXPECT_TRUE(WaitFor([&] { return Text(w, 1156) == "77"; }, 5000));
  peer.terminate();
  EXPECT_TRUE(peer.waitForFinished(3000));
}

TEST_F(MainWindowTest, PortListIsInReverseEnumerationOrder) {
  // The machine's own ports (often none here); the rule is checked on what there is.
  auto app = MakeApp(nullptr);
  CSetApDlg w(*app);
  const QStringList names = w.m_portNames;
  auto* list = w.ControlAs<QComboBox>(1001);
  ASSERT_EQ(list->count(), names.size());
  for (int i = 0; i < names.size(); ++i) EXPECT_EQ(list->itemText(i), names[i]);
  EXPECT_EQ(list->currentIndex(), names.isEmpty() ? -1 : int(names.size()) - 1);
}

// The plots and the inspector hear what the window hears; a replay plays a
// record file through the same path, shown but never recorded again.
TEST_F(MainWindowTest, ToolWindowsFollowTheReceivePathAndAReplayIsNotRecordedAgain) {
  BoxRecorder boxes;
  {
    std::shared_ptr<sim::SimHandle> sim;
    auto app = MakeSimApp(&sim, 50);
    CSetApDlg w(*app);
    w.show();
    w.ShowTelemetryPlots();
    w.ShowLinkInspector();
    Click(w, 1019);
    ASSERT_TRUE(WaitFor([&] { return w.TelemetryPlots()->History().Points().size() >= 10; }, 5000));
    ASSERT_TRUE(WaitFor([&] { return w.LinkInspector()->Stats().Count(SentenceTag::Stp) >= 10; }, 5000));
    EXPECT_GE(w.LinkInspector()->Stats().Count(SentenceTag::Par), 1u);
    EXPECT_GT(w.LinkInspector()->Stats().Reports(), 0u);
    Pump(600);
    w.LinkInspector()->grab().save(m_binDir + "/inspector_live.png");
  }

  // Twenty records with 7 satellites, then twenty with 9, a second apart.
  const QString file = m_dir.filePath("flight.hj");
  {
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    for (int i = 0; i < 40; ++i) {
      Bytes s = test::Status();
      s[24] = i < 20 ? 7 : 9;                     // satellites
      s[30] = static_cast<std::uint8_t>(i / 20);  // second
      test::PutSum(s);
      out.write(reinterpret_cast<const char*>(s.data()), static_cast<qint64>(s.size()));
    }
  }
  auto app = MakeScriptedApp();
  CSetApDlg w(*app);
  w.show();
  QString why;
  EXPECT_FALSE(w.StartReplay(m_dir.filePath("none.hj"), 1, &why));
  EXPECT_FALSE(why.isEmpty());
  ASSERT_TRUE(w.StartReplay(file, 10, &why)) << why.toStdString();
  ASSERT_TRUE(WaitFor([&] { return Text(w, 1142) == "9"; }, 5000)) << Text(w, 1142).toStdString();
  // The status line says what is replayed, how fast and where, not "Not connected".
  ASSERT_TRUE(WaitFor([&] { return w.Connection().Text().contains("played to the end"); }, 3000))
      << w.Connection().Text().toStdString();
  EXPECT_TRUE(w.Connection().Text().startsWith("Replaying flight.hj at 10x"))
      << w.Connection().Text().toStdString();
  EXPECT_TRUE(w.Connection().Text().contains("record 40")) << w.Connection().Text().toStdString();
  Pump(200);
  EXPECT_EQ(w.m_recorder.RecordsWritten() + w.m_recorder.RecordsWaiting(), 0u);
  EXPECT_EQ(w.Parser().Counters().sentences[static_cast<std::size_t>(SentenceTag::Stp)], 40u);
  EXPECT_TRUE(w.grab().save(m_binDir + "/mainwindow_replay.png"));  // for looking at
}

// Screenshots for looking at, written beside the test program.
TEST_F(MainWindowTest, ScreenshotsWithLiveTelemetry) {
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    BoxRecorder boxes;
    std::shared_ptr<sim::SimHandle> sim;
    auto app = MakeSimApp(&sim, 50);
    CSetApDlg w(*app);
    w.show();
    Click(w, 1019);
    ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid && !Text(w, 1143).isEmpty(); }));
    Pump(600);
    const QImage shot = w.grab().toImage();
    EXPECT_EQ(shot.size(), w.size() * w.devicePixelRatio());
    const QString name = m_binDir + QString("/mainwindow_%1.png").arg(QString(locale).left(2));
    EXPECT_TRUE(shot.save(name)) << name.toStdString();
    EXPECT_EQ(w.m_language.m_isChinese, QString(locale).startsWith("zh") ? 1 : 0);
  }
}

// Parameter files, the comparison and the history against the simulator.
class ParameterHistoryWindowTest : public MainWindowTest {
 protected:
  static bool Same(const sim::ParameterSentence& a, const ParameterSentence& b) {
    return std::equal(a.begin(), a.end(), b.begin());
  }
  static bool AllTickedRowsConfirmed(ParameterCompareDlg& dlg) {
    for (const ComparisonRow& r : dlg.Comparison().Rows())
      if (r.ticked && r.readBack != ComparisonRow::ReadBack::Confirmed) return false;
    return true;
  }
};

TEST_F(ParameterHistoryWindowTest, LoadWritesExactlyTheTickedRowsAndConfirmsThem) {
  BoxRecorder boxes;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeSimApp(&sim);
  CSetApDlg w(*app);
  // File: the three parameter commands, the flight records, then Quit.
  QStringList entries;
  for (const QAction* a : w.FileMenu()->actions()) entries << (a->isSeparator() ? "-" : a->text());
  EXPECT_EQ(entries, QStringList({Lid(w, "LID_MENU_SAVEPARAMS"), Lid(w, "LID_MENU_LOADPARAMS"),
                                  Lid(w, "LID_MENU_HISTORY"), "-", Lid(w, "LID_MENU_RECORDS"), "-",
                                  Lid(w, "LID_MENU_QUIT")}));
  Click(w, 1019);
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  const sim::ParameterSentence before = sim->Parameters();
  ParameterSentence held{};
  std::copy(before.begin(), before.end(), held.begin());
  const Parameters controller = *DecodeParameters(held.data());

  // A file that differs from the controller in five values.
  using Id = ParameterId;
  Parameters file = controller;
  file.SetCode(Id::SwayCompensation, (controller.Code(Id::SwayCompensation) + 7) & 0xFF);
  file.SetCode(Id::RollSensitivity, (controller.Code(Id::RollSensitivity) + 9) & 0xFF);
  file.SetCode(Id::CellCount, (controller.Code(Id::CellCount) + 1) & 0x0F);
  file.SetCode(Id::AltitudeLimit, controller.Code(Id::AltitudeLimit) == 50 ? 60 : 50);
  file.SetCode(Id::FailSafe, controller.Code(Id::FailSafe) == 82 ? 81 : 82);
  const QString path = m_dir.filePath("five.params");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromStdString(FormatParameterFile(file)));
  }
  ParameterCompareDlg* dlg = w.LoadParametersFrom(path);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(dlg->Comparison().Differing(), 5);
  dlg->SetTicked(Id::RollSensitivity, false);
  dlg->SetTicked(Id::AltitudeLimit, false);
  dlg->WriteButton()->click();
  ASSERT_TRUE(WaitFor([&] { return sim->Counters().setAccepted == 1 && AllTickedRowsConfirmed(*dlg); }));

  // The three ticked values changed, every other byte is as it was.
  Parameters expected = controller;
  for (Id id : {Id::SwayCompensation, Id::CellCount, Id::FailSafe}) expected.SetCode(id, file.Code(id));
  EXPECT_TRUE(Same(sim->Parameters(), SentenceAfterBlock(held, EncodeParameters(expected))));
  for (const ComparisonRow& r : dlg->Comparison().Rows())
    EXPECT_EQ(r.readBack == ComparisonRow::ReadBack::None, !r.ticked) << FactsOf(r.id).name;

  // What the controller held was stored before the write.
  const std::vector<SnapshotEntry> history = SnapshotStore().List();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].notes.write, "load");
  EXPECT_EQ(history[0].notes.transport, "usb");
  EXPECT_EQ(boxes.Texts().size(), 1u);  // only the Open USB hint

  // A damaged file is refused naming its line; nothing is written.
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("failsafe=land\ncell_count=99\nsentence=00\n");
  }
  EXPECT_EQ(w.LoadParametersFrom(path), nullptr);
  ASSERT_EQ(boxes.Texts().size(), 2u);
  EXPECT_TRUE(boxes.Texts()[1].contains("five.params: line 3: the sentence must be 90 hex digits"))
      << boxes.Texts()[1].toStdString();
}

TEST_F(ParameterHistoryWindowTest, RestoreFromTheHistoryBringsTheControllerBack) {
  BoxRecorder boxes;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeSimApp(&sim);
  CSetApDlg w(*app);
  Click(w, 1019);
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  const sim::ParameterSentence before = sim->Parameters();
  Type(w, 1156, QString::number((before[33] + 11) & 0xFF));
  Type(w, 1149, QString::number(((before[5] & 0x0F) + 2) & 0x0F));
  Click(w, 1028);
  ASSERT_TRUE(WaitFor([&] { return sim->Counters().setAccepted == 1; }));
  Click(w, 1027);
  ASSERT_TRUE(WaitFor([&] { return w.m_lastParams[33] == ((before[33] + 11) & 0xFF); }));

  QDialog* history = w.ShowParameterHistory();
  auto* table = history->findChild<QTableWidget*>("history");
  ASSERT_NE(table, nullptr);
  // The folder is read off the window's thread: the rows come a moment later.
  ASSERT_TRUE(WaitFor([&] { return table->rowCount() == 1; }));
  EXPECT_EQ(table->item(0, 1)->text(), Lid(w, "LID_HIST_OP_SEND"));
  history->findChild<QPushButton*>("restore")->click();
  const auto open = w.findChildren<ParameterCompareDlg*>();
  ASSERT_EQ(open.size(), 1);
  ParameterCompareDlg* dlg = open[0];
  EXPECT_EQ(dlg->Comparison().Differing(), 2);
  dlg->WriteButton()->click();
  ASSERT_TRUE(WaitFor([&] { return sim->Counters().setAccepted == 2 && AllTickedRowsConfirmed(*dlg); }));
  EXPECT_EQ(sim->Parameters(), before);

  // No history folder: the window asks, and No writes nothing.
  const QString blocker = m_dir.filePath("blocker");
  QFile(blocker).open(QIODevice::WriteOnly);
  setenv("XDG_DATA_HOME", blocker.toUtf8().constData(), 1);
  boxes.answers.push_back(BoxAnswer::No);
  Type(w, 1156, "5");
  Click(w, 1028);
  Pump(200);
  EXPECT_EQ(sim->Counters().setAccepted, 2u);
  ASSERT_FALSE(boxes.requests.empty());
  EXPECT_EQ(boxes.requests.back().buttons, BoxButtons::YesNo);
  EXPECT_TRUE(boxes.requests.back().text.contains("cannot be made"))
      << boxes.requests.back().text.toStdString();
}

// After a Send the controller's column is what the controller holds now:
// Send reads back (and says on the status line that the controller took it),
// the comparison says when its values were read, and the history's
// comparison ticks the differing row, shows whole times and its operation in
// the window's language.
TEST_F(ParameterHistoryWindowTest, AfterASendTheComparisonShowsWhatTheControllerHolds) {
  BoxRecorder boxes;
  std::shared_ptr<sim::SimHandle> sim;
  auto app = MakeSimApp(&sim);
  CSetApDlg w(*app);
  Click(w, 1019);
  ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
  const sim::ParameterSentence before = sim->Parameters();
  const int sway = (before[33] + 11) & 0xFF;
  Type(w, 1156, QString::number(sway));
  Click(w, 1028);
  ASSERT_TRUE(WaitFor([&] { return w.StatusLine()->currentMessage() == Lid(w, "LID_SEND_CONFIRMED"); }))
      << w.StatusLine()->currentMessage().toStdString();
  EXPECT_EQ(w.m_lastParams[33], sway) << "read back after the Send";

  QDialog* history = w.ShowParameterHistory();
  auto* table = history->findChild<QTableWidget*>("history");
  ASSERT_NE(table, nullptr);
  ASSERT_TRUE(WaitFor([&] { return table->rowCount() == 1; }));
  EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                  .match(table->item(0, 0)->text())
                  .hasMatch())
      << table->item(0, 0)->text().toStdString();
  EXPECT_GE(table->columnWidth(0), table->fontMetrics().horizontalAdvance(table->item(0, 0)->text()));
  EXPECT_EQ(table->item(0, 1)->text(), Lid(w, "LID_HIST_OP_SEND"));
  history->findChild<QPushButton*>("compare")->click();
  const auto open = w.findChildren<ParameterCompareDlg*>();
  ASSERT_EQ(open.size(), 1);
  ParameterCompareDlg* dlg = open[0];
  ASSERT_EQ(dlg->Comparison().Differing(), 1);
  for (const ComparisonRow& r : dlg->Comparison().Rows()) {
    if (r.id != ParameterId::SwayCompensation) continue;
    EXPECT_TRUE(r.ticked) << "a differing row is ticked in every comparison";
    EXPECT_EQ(r.heldCode, sway) << "the controller's column is what it holds after the Send";
    EXPECT_EQ(r.wantedCode, before[33]);
  }
  const QString source = dlg->findChild<QLabel*>()->text();
  EXPECT_TRUE(source.contains(Lid(w, "LID_CMP_READ_AT").section('%', 0, 0))) << source.toStdString();
}

// The history window lists what lies in the folder however hostile (a named
// pipe there must not stop the window), says which snapshot is damaged and
// why and which is dated in the future; in both languages, written beside
// the test program to be looked at.
TEST_F(ParameterHistoryWindowTest, DamagedAndFutureSnapshotsAreShownSo) {
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    const QString data = m_dir.filePath(QString("data-") + locale);
    setenv("XDG_DATA_HOME", data.toUtf8().constData(), 1);
    const SnapshotStore store;
    std::string path, error;
    const Parameters p = *DecodeParameters(test::Parameters({}).data());
    ASSERT_TRUE(store.Store(p, {"2026-03-02T10:00:00Z", "usb", "", "send"}, &path, &error)) << error;
    ASSERT_TRUE(store.Store(p, {"2099-01-01T00:00:00Z", "usb", "", "default"}, &path, &error)) << error;
    QFile cut(QString::fromStdString(path));
    ASSERT_TRUE(cut.open(QIODevice::ReadOnly));
    const QByteArray half = cut.readAll().left(200);
    cut.close();
    QFile damaged(QString::fromStdString(store.Folder() + "cut.params"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(half);
    damaged.close();
    ASSERT_EQ(::mkfifo((store.Folder() + "pipe.params").c_str(), 0600), 0);

    BoxRecorder boxes;
    std::shared_ptr<sim::SimHandle> sim;
    auto app = MakeSimApp(&sim);
    CSetApDlg w(*app);
    QDialog* history = w.ShowParameterHistory();
    auto* table = history->findChild<QTableWidget*>("history");
    ASSERT_NE(table, nullptr);
    ASSERT_TRUE(WaitFor([&] { return table->rowCount() == 4; })) << locale;
    EXPECT_EQ(table->item(0, 0)->text(), QDateTime::fromString("2026-03-02T10:00:00Z", Qt::ISODate)
                                             .toLocalTime()
                                             .toString("yyyy-MM-dd HH:mm:ss"));
    EXPECT_EQ(table->item(0, 2)->text(), "");
    const QString damagedWord = Lid(w, "LID_HIST_DAMAGED").section("%1", 0, 0);
    int damagedRows = 0, futureRows = 0;
    for (int row = 0; row < 4; ++row) {
      damagedRows += table->item(row, 2)->text().startsWith(damagedWord);
      futureRows += table->item(row, 2)->text() == Lid(w, "LID_HIST_FUTURE");
    }
    EXPECT_EQ(damagedRows, 2) << locale;
    EXPECT_EQ(futureRows, 1) << locale;
    history->resize(720, 240);
    const QString name = m_binDir + QString("/history_%1.png").arg(QString(locale).left(2));
    EXPECT_TRUE(history->grab().save(name)) << name.toStdString();
  }
}

// The comparison in both languages, written beside the test program to be
// looked at.
TEST_F(ParameterHistoryWindowTest, ComparisonScreenshotsInBothLanguages) {
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    BoxRecorder boxes;
    std::shared_ptr<sim::SimHandle> sim;
    auto app = MakeSimApp(&sim);
    CSetApDlg w(*app);
    Click(w, 1019);
    ASSERT_TRUE(WaitFor([&] { return w.m_paramsValid; }));
    Parameters file = *DecodeParameters(w.m_lastParams.data());
    file.SetCode(ParameterId::MaxSpeed, 200);
    file.SetCode(ParameterId::AltitudeLimit, 30);
    file.SetCode(ParameterId::FailSafe, 81);
    ParameterCompareDlg* dlg = w.OpenComparison(file, m_dir.filePath("backup.params"));
    ASSERT_NE(dlg, nullptr);
    dlg->SetTicked(ParameterId::FailSafe, false);
    dlg->WriteButton()->click();
    ASSERT_TRUE(WaitFor([&] { return AllTickedRowsConfirmed(*dlg); })) << locale;
    // Headers and labels come from the language file of the locale.
    auto* table = dlg->Table();
    EXPECT_EQ(table->horizontalHeaderItem(2)->text(), Lid(w, "LID_CMP_CONTROLLER"));
    EXPECT_EQ(table->item(0, 0)->text(), Text(w, FactsOf(ParameterId::FailSafe).labelControl).trimmed());
    EXPECT_EQ(table->item(7, 1)->text(), Lid(w, "LID_PUB_MS"));
    // Each parameter's control says what it does, its unit and range.
    const QString tip = w.Control(FactsOf(ParameterId::AltitudeLimit).editControl)->toolTip();
    EXPECT_TRUE(tip.startsWith(Lid(w, "LID_DESC_ALTITUDE"))) << tip.toStdString();
    EXPECT_TRUE(tip.contains(Lid(w, "LID_UNIT_M")) && tip.contains("1500")) << tip.toStdString();
    const QString name = m_binDir + QString("/comparison_%1.png").arg(QString(locale).left(2));
    EXPECT_TRUE(dlg->grab().save(name)) << name.toStdString();
  }
}

// Tools > Share position (NMEA): kept on in the settings file it shares at
// start; the status line counts the listening programs; a replayed flight is
// shared; switched off it lets its programs go and says so in the file.
TEST_F(MainWindowTest, SharesThePositionAsNmeaAndKeepsTheSwitch) {
  const QString file = m_dir.filePath("shared.hj");
  {
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    for (int i = 0; i < 20; ++i) {
      Bytes s = test::Status();
      test::PutFloat(s, 4, 22.5009765625f);
      test::PutFloat(s, 8, -114.25f);
      s[24] = 9;
      const std::uint8_t date[] = {24, 5, 1, 8, 0, static_cast<std::uint8_t>(i / 10)};
      std::copy(date, date + 6, s.begin() + 25);
      test::PutSum(s);
      out.write(reinterpret_cast<const char*>(s.data()), static_cast<qint64>(s.size()));
    }
  }
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    BoxRecorder boxes;
    const int port = testsupport::LoopbackClient::FreePort();
    auto app = MakeScriptedApp();
    app->WriteSettingString("NmeaShare", "Address", "127.0.0.1:" + std::to_string(port));
    app->WriteSettingInt("NmeaShare", "On", 1);
    CSetApDlg w(*app);
    w.show();
    apdesk::nmea::CNmeaShareDlg* share = w.NmeaShare();
    ASSERT_TRUE(share->Sharing());
    testsupport::LoopbackClient client;
    ASSERT_TRUE(client.Connect(port));
    auto* line = w.findChild<QLabel*>("nmeaStatusLine");
    ASSERT_NE(line, nullptr);
    ASSERT_TRUE(WaitFor([&] { return share->Programs() == 1; }));
    EXPECT_EQ(line->text(), Lid(w, "LID_NMEA_STATUS").arg(1));
    EXPECT_FALSE(line->text().isEmpty());

    QString why;
    ASSERT_TRUE(w.StartReplay(file, 10, &why)) << why.toStdString();
    ASSERT_TRUE(WaitFor([&] {
      client.ReadAvailable();
      return client.Lines() >= 60;
    })) << client.Received();
    EXPECT_NE(client.Received().find("$GPGGA,080001.00,2230.058594,N,11415.000000,W,1,09,"),
              std::string::npos)
        << client.Received().substr(0, 300);

    // A bad address is said in the window and shares nothing.
    share->findChild<QLineEdit*>("nmeaAddress")->setText("example.org:1");
    share->Restore("example.org:1", true);
    EXPECT_FALSE(share->Sharing());
    EXPECT_TRUE(share->StatusText().startsWith(Lid(w, "LID_NMEA_FAILED")))
        << share->StatusText().toStdString();
    EXPECT_TRUE(line->isHidden());
    share->Restore("127.0.0.1:" + QString::number(port), true);
    share->show();
    Pump(100);
    EXPECT_TRUE(share->grab().save(m_binDir + QString("/nmea_share_%1.png").arg(QString(locale).left(2))));
    share->findChild<QCheckBox*>("nmeaShare")->setChecked(false);
    EXPECT_FALSE(share->Sharing());
    EXPECT_TRUE(Settings().contains("On=0")) << Settings().toStdString();
    EXPECT_TRUE(WaitFor([&] { return !client.ReadAvailable(); })) << "switched off, the program is let go";
  }
}

}  // namespace
}  // namespace apdesk

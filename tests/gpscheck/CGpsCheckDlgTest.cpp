#include "gpscheck/CGpsCheckDlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "gpscheck/CCompassDial.h"
#include "link/ControllerSession.h"
#include "protocol/SentenceBytes.h"
#include "protocol/SentenceParser.h"
#include "protocol/StatusSentence.h"

namespace apdesk {
namespace {

// A "$STP" sentence with the given heading in degrees (sent as radians) and a
// few GPS fields; the window does not look at the sum.
std::vector<std::uint8_t> Sentence(double headingDegrees) {
  std::vector<std::uint8_t> s(kStatusSentenceLength, 0);
  std::memcpy(s.data(), "$STP", 4);
  auto put = [&](std::size_t at, float f) { std::memcpy(s.data() + at, &f, 4); };
  put(4, 22.543096f);
  put(8, 114.057865f);
  put(20, static_cast<float>(headingDegrees * 3.14159265 / 180.0));
  s[24] = 9;
  const std::uint8_t when[6] = {24, 5, 1, 8, 0, 7};
  std::memcpy(s.data() + 25, when, 6);
  s[50] = 0x01;
  s[51] = 0x2C;
  s[55] = 15;
  s[94] = 0xFF;
  s[95] = 0xFE;
  return s;
}

// The label's background, read from a grab beside its centred text.
QColor ResultBackground(QWidget* label) {
  const QImage img = label->grab().toImage();
  return img.pixelColor(4, img.height() / 2);
}

QString TextOf(QWidget* w) {
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  return "?";
}

// The language files as shipped.
const std::string kResources = std::string(APDESK_SOURCE_DIR) + "/resources/";

class GpsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    // On a Chinese system the window shows its built-in texts.
    dlg.SetFrameSender([this](const CommandFrame& f) { sent.push_back(f); });
    ASSERT_TRUE(dlg.Create()) << dlg.Error();
    dlg.show();
  }
  void Feed(std::initializer_list<double> headings) {
    for (double h : headings) dlg.ShowGpsRecord(Sentence(h).data());
  }
  QWidget* Label() const { return dlg.Control(CGpsCheckDlg::kResultLabel); }

  QApplication* app = testing::App();  // before any widget
  const CLanguageManager texts = testsupport::LoadedTexts(kResources, true);
  CGpsCheckDlg dlg{texts};
  std::vector<CommandFrame> sent;
};

TEST_F(GpsWindow, LayoutHasEveryControl) {
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("GPS磁检测"));
  for (int id : {1018, 1007, 1020, 1019, 1022, 1023, 1024, 1021})
    EXPECT_NE(qobject_cast<QLineEdit*>(dlg.Control(id)), nullptr) << id;
  ASSERT_NE(dlg.Dial(), nullptr);
  EXPECT_EQ(dlg.Control(CGpsCheckDlg::kDial), dlg.Dial());
  EXPECT_EQ(qobject_cast<QPushButton*>(dlg.Control(1000))->text(), QString::fromUtf8("检测磁模式"));
  EXPECT_EQ(qobject_cast<QPushButton*>(dlg.Control(1002))->text(), QString::fromUtf8("退出检测磁"));
  const char* const labels[] = {"经度", "纬度", "航向角", "星数", "PDOP", "velx", "vely", "时间"};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(TextOf(dlg.Control(1040 + i)), QString::fromUtf8(labels[i])) << 1040 + i;
  // Nothing overlaps, and every control lies inside the window.
  const QList<QWidget*> kids = dlg.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* a : kids) {
    EXPECT_TRUE(dlg.rect().contains(a->geometry())) << a->property("controlId").toInt();
    for (QWidget* b : kids) {
      if (a == b) continue;
      EXPECT_FALSE(a->geometry().intersects(b->geometry()))
          << a->property("controlId").toInt() << " " << b->property("controlId").toInt();
    }
  }
}

TEST_F(GpsWindow, RisingHeadingsGiveGoodOnGreen) {
  Feed({10, 20, 30, 40, 50, 60, 70, 80, 90});
  EXPECT_EQ(TextOf(Label()), QString::fromUtf8("请顺时针转动。。。"));
  EXPECT_EQ(ResultBackground(Label()), QColor(255, 255, 0));
  Feed({100});  // ten: still undecided
  EXPECT_EQ(dlg.CheckResult(), kCompassUndecided);
  Feed({110});
  EXPECT_EQ(dlg.CheckResult(), kCompassGood);
  EXPECT_EQ(TextOf(Label()), QString::fromUtf8("良好"));
  EXPECT_EQ(ResultBackground(Label()), QColor(0, 255, 0));
  EXPECT_EQ(qobject_cast<QLabel*>(Label())->palette().color(QPalette::WindowText), QColor(Qt::black));
  // The fields of the last sentence.
  EXPECT_EQ(TextOf(dlg.Control(1018)), "114.057861");
  EXPECT_EQ(TextOf(dlg.Control(1007)), "22.543097");
  EXPECT_EQ(TextOf(dlg.Control(1020)), "110.0");
  EXPECT_EQ(TextOf(dlg.Control(1019)), "9");
  EXPECT_EQ(TextOf(dlg.Control(1021)), "2024-05-01 08:00:07");
  EXPECT_EQ(TextOf(dlg.Control(1022)), "1.5");
  EXPECT_EQ(TextOf(dlg.Control(1023)), "300 cm/s");
  EXPECT_EQ(TextOf(dlg.Control(1024)), "65534 cm/s");
  EXPECT_NEAR(dlg.Dial()->m_heading, 110.0f, 1e-3f);
  testing::KeepScreenshot(&dlg, "gpscheck-good");
}

TEST_F(GpsWindow, ReversedHeadingsGiveWrongOnRedAndMixedGiveYellow) {
  Feed({110, 100, 90, 80, 70, 60, 50, 40, 30, 20, 10});
  EXPECT_EQ(TextOf(Label()), QString::fromUtf8("错误"));
  EXPECT_EQ(ResultBackground(Label()), QColor(255, 0, 0));
  testing::KeepScreenshot(&dlg, "gpscheck-wrong");
  // Six rises and three falls within the last ten: asked to turn again.
  Feed({0, 1, 2, 3, 4, 5, 6, 5, 4, 3});
  EXPECT_EQ(dlg.CheckResult(), kCompassUndecided);
  EXPECT_EQ(ResultBackground(Label()), QColor(255, 255, 0));
  testing::KeepScreenshot(&dlg, "gpscheck-turn");
}

TEST_F(GpsWindow, ButtonsSendTheCompassModeFrames) {
  qobject_cast<QPushButton*>(dlg.Control(1000))->click();
  qobject_cast<QPushButton*>(dlg.Control(1002))->click();
  ASSERT_EQ(sent.size(), 2u);
  CommandFrame on{}, off{};
  std::memcpy(on.data(), "$CMAG", 5);
  std::memcpy(off.data(), "$QMAG", 5);
  EXPECT_EQ(sent[0], on);
  EXPECT_EQ(sent[1], off);
  EXPECT_EQ(dlg.CheckResult(), kCompassUndecided);  // no change of state
}

TEST_F(GpsWindow, ClosingClearsTheFlagAndReopeningKeepsTheHistory) {
  dlg.hide();
  // Seven rises, then two falls: good, but only just.
  Feed({0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 6});
  ASSERT_EQ(dlg.CheckResult(), kCompassGood);

  // However the window is closed, the check ends.
  int opened = 0;
  const std::function<void()> closers[] = {
      [&] { dlg.close(); },
      [&] { QTest::keyClick(&dlg, Qt::Key_Escape); },
      [&] { QTest::keyClick(dlg.Control(1018), Qt::Key_Return); },
  };
  for (const auto& closeIt : closers) {
    dlg.m_checkActive = 1;  // as the main window does before running it
    QTimer::singleShot(0, &dlg, [&] {
      ++opened;
      EXPECT_TRUE(dlg.isVisible());
      EXPECT_EQ(dlg.m_checkActive, 1);
      // A new opening: empty fields, the verdict's colour carried over.
      EXPECT_EQ(TextOf(dlg.Control(1018)), "");
      if (opened == 1) {
        EXPECT_EQ(ResultBackground(Label()), QColor(0, 255, 0));
        Feed({5});  // a third fall decides at once: the history came along
        EXPECT_EQ(dlg.CheckResult(), kCompassUndecided);
      }
      closeIt();
    });
    dlg.RunModal();
    EXPECT_EQ(dlg.m_checkActive, 0);
    EXPECT_FALSE(dlg.isVisible());
  }
  EXPECT_EQ(opened, 3);
  EXPECT_EQ(dlg.Judgement().History().size(), 10u);
}

// As in the program: the window reads the session's "$STP" itself, and only
// while its check is active.
TEST_F(GpsWindow, ReadsTheSessionOnlyWhileTheCheckIsActive) {
  ControllerSession session(nullptr);
  dlg.Listen(session);
  auto arrive = [&](double heading) {
    std::vector<std::uint8_t> s = Sentence(heading);
    test::PutSum(s);
    session.Link().Feed(s.data(), s.size());
  };
  dlg.m_checkActive = 0;
  arrive(10);
  EXPECT_EQ(TextOf(dlg.Control(1018)), "");
  EXPECT_TRUE(dlg.Judgement().History().empty());
  dlg.m_checkActive = 1;
  arrive(20);
  EXPECT_NE(TextOf(dlg.Control(1018)), "");
  EXPECT_FALSE(dlg.Judgement().History().empty());
}

TEST(GpsWindowLanguage, TextsFromTheFileAndBuiltInWhereAKeyIsMissing) {
  QApplication* app = testing::App();
  (void)app;
  testing::LanguageFolder partial;  // has the window's section but lacks most keys
  partial.Write("Default.ini", "[public]\nLID_GPS_GOOD=Fine\n[gpscheck]\n1040=Lon\n1000=Mode on\n");
  const std::string folderWithoutFiles = partial.Folder() + "none/";
  const char* const labelIds[] = {"1040", "1041", "1042", "1043", "1044", "1045", "1046", "1047"};
  struct Case {
    const char* name;
    std::string folder;
    // Caption, the labels 1040..1047, buttons 1000 and 1002, verdicts turn, good, wrong.
    std::vector<const char*> texts;
  } cases[] = {
      {"English",
       kResources,
       {"GPS and Compass Check", "Longitude", "Latitude", "Heading", "Satellites", "PDOP", "Vel X", "Vel Y",
        "Time", "Check On", "Check Off", "Turn clockwise...", "Good", "Wrong"}},
      {"keys missing",
       partial.Folder(),
       {"GPS磁检测", "Lon", "纬度", "航向角", "星数", "PDOP", "velx", "vely", "时间", "Mode on", "退出检测磁",
        "请顺时针转动。。。", "Fine", "错误"}},
      {"no language file",
       folderWithoutFiles,
       {"GPS磁检测", "经度", "纬度", "航向角", "星数", "PDOP", "velx", "vely", "时间", "检测磁模式",
        "退出检测磁", "请顺时针转动。。。", "良好", "错误"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CLanguageManager dlgTexts = testsupport::LoadedTexts(c.folder, false);
    CGpsCheckDlg dlg(dlgTexts);
    ASSERT_TRUE(dlg.Create()) << dlg.Error();
    std::size_t i = 0;
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8(c.texts[i++]));
    for (const char* id : labelIds)
      EXPECT_EQ(TextOf(dlg.Control(std::atoi(id))), QString::fromUtf8(c.texts[i++])) << id;
    for (int id : {1000, 1002})
      EXPECT_EQ(qobject_cast<QPushButton*>(dlg.Control(id))->text(), QString::fromUtf8(c.texts[i++])) << id;
    // Undecided, then rising to good, then falling to wrong.
    dlg.ShowGpsRecord(Sentence(0).data());
    EXPECT_EQ(TextOf(dlg.Control(CGpsCheckDlg::kResultLabel)), QString::fromUtf8(c.texts[i++]));
    for (int h = 10; h <= 100; h += 10) dlg.ShowGpsRecord(Sentence(h).data());
    ASSERT_EQ(dlg.CheckResult(), kCompassGood);
    EXPECT_EQ(TextOf(dlg.Control(CGpsCheckDlg::kResultLabel)), QString::fromUtf8(c.texts[i++]));
    for (int h = 90; h >= 0; h -= 10) dlg.ShowGpsRecord(Sentence(h).data());
    ASSERT_EQ(dlg.CheckResult(), kCompassWrong);
    EXPECT_EQ(TextOf(dlg.Control(CGpsCheckDlg::kResultLabel)), QString::fromUtf8(c.texts[i++]));
    if (c.folder == kResources) {
      dlg.show();
      dlg.ShowGpsRecord(Sentence(5).data());  // a fall after a fall: still wrong, the fields filled
      testing::KeepScreenshot(&dlg, "gpscheck-english");
      dlg.hide();
    }
  }
}

TEST_F(GpsWindow, DialDrawsDiscCrosshairsAndNeedle) {
  CCompassDial dial;
  dial.resize(200, 200);
  dial.m_heading = 90.0f;
  const QImage img = dial.grab().toImage();
  testing::KeepScreenshot(img, "compass-dial");
  EXPECT_EQ(img.pixelColor(2, 2), QColor(Qt::black));       // outside the disc
  EXPECT_EQ(img.pixelColor(60, 60), QColor(81, 162, 215));  // disc
  EXPECT_GT(img.pixelColor(100, 40).lightness(), 150);      // vertical crosshair
  EXPECT_EQ(img.pixelColor(150, 100), QColor(255, 0, 0));   // needle to the right
  EXPECT_GT(img.pixelColor(100, 150).green(), 150);         // downwards only the white crosshair
  dial.m_heading = std::nanf("");
  const QImage none = dial.grab().toImage();
  EXPECT_NE(none.pixelColor(150, 100), QColor(255, 0, 0));  // no needle for a heading that is no number
}

}  // namespace
}  // namespace apdesk

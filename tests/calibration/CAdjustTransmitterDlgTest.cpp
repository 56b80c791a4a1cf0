#include "calibration/CAdjustTransmitterDlg.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"

namespace apdesk {
namespace {

const char kDefaultIni[] =
    "[public]\n"
    "LID_TRANSMITTER_CAPTION=Adjust Transmitter\n"
    "LID_HINT_Transmitter4=Move every stick to both ends twice, then leave them centred.\n"
    "[flyhint]\n"
    "1000=OK\n"
    "1019=Cancel\n";

const char kChineseIni[] =
    "[public]\n"
    "LID_TRANSMITTER_CAPTION=遥控器校准\n"
    "LID_HINT_Transmitter4=请把每个摇杆推到两端各两次，然后回中。\n"
    "[flyhint]\n"
    "1000=确定\n"
    "1019=取消\n";

class CalibrationWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    lang.Write("Default.ini", kDefaultIni);
    lang.Write("Chinese.ini", kChineseIni);
  }
  void Make(bool chinese) {
    texts = testsupport::LoadedTexts(lang.Folder(), chinese);
    dlg.SetCommandSender([this](std::uint8_t code) { sent.push_back(code); });
    ASSERT_TRUE(dlg.Create(nullptr)) << dlg.Error();
  }
  QString Hint() const { return static_cast<QPlainTextEdit*>(dlg.Control(1018))->toPlainText(); }
  QPushButton* Button(int id) const { return qobject_cast<QPushButton*>(dlg.Control(id)); }

  QApplication* app = testing::App();  // before any widget
  testing::LanguageFolder lang;
  CLanguageManager texts{"", false};  // chosen by Make()
  CAdjustTransmitterDlg dlg{texts};
  std::vector<std::uint8_t> sent;
};

TEST_F(CalibrationWindow, CreatedHiddenWithItsTexts) {
  Make(false);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), "Adjust Transmitter");
  ASSERT_NE(Button(1000), nullptr);
  ASSERT_NE(Button(1019), nullptr);
  EXPECT_EQ(Button(1000)->text(), "OK");
  QWidget* hint = dlg.Control(1018);
  ASSERT_TRUE(dlg.Create(nullptr));  // a second call builds nothing twice
  EXPECT_EQ(dlg.Control(1018), hint);
  EXPECT_EQ(dlg.findChildren<QPlainTextEdit*>().size(), 1);
  dlg.ShowWithText("Adjust Transmitter?\r\n\r\nSecond hint\r\n");
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(Hint(), "Adjust Transmitter?\n\nSecond hint\n");
  EXPECT_TRUE(sent.empty());
  dlg.ShowWithText("again");  // shown already: the text is replaced, the window stays
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(Hint(), "again");
}

TEST_F(CalibrationWindow, OkSendsOneCalibrationCommandAndHidesFiveSecondsLater) {
  Make(false);
  dlg.ShowWithText("intro");
  QTest::mouseClick(Button(1000), Qt::LeftButton);
  QElapsedTimer sinceOk;
  sinceOk.start();
  EXPECT_EQ(sent, std::vector<std::uint8_t>{117});
  EXPECT_EQ(Hint(), "Move every stick to both ends twice, then leave them centred.");
  testing::KeepScreenshot(&dlg, "calibration-en");
  // Measured from the click, so a slow screenshot on a loaded machine does
  // not count (a coarse timer may fire up to 5 % early).
  QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 8000);
  EXPECT_GE(sinceOk.elapsed(), 4700) << "hidden before the five seconds";
  EXPECT_FALSE(dlg.IsHideTimerRunning());  // it stopped itself
  EXPECT_EQ(sent.size(), 1u);
}

TEST_F(CalibrationWindow, CancelHidesAtOnceAndTheTimerChangesNothingLater) {
  Make(false);
  dlg.ShowWithText("intro");
  Button(1000)->click();
  Button(1019)->click();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_TRUE(dlg.IsHideTimerRunning());  // Cancel leaves it running
  dlg.OnTimer(2);                         // not ours
  EXPECT_TRUE(dlg.IsHideTimerRunning());
  dlg.OnTimer(CAdjustTransmitterDlg::kHideTimerId);
  EXPECT_FALSE(dlg.IsHideTimerRunning());
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(sent, std::vector<std::uint8_t>{117});

  // Shown again within the five seconds: the running timer still hides it.
  Button(1000)->click();
  dlg.ShowWithText("intro");
  dlg.OnTimer(CAdjustTransmitterDlg::kHideTimerId);
  EXPECT_FALSE(dlg.isVisible());

  // A second OK sends again and starts the five seconds over.
  dlg.ShowWithText("intro");
  Button(1000)->click();
  Button(1000)->click();
  EXPECT_EQ(sent, (std::vector<std::uint8_t>{117, 117, 117, 117}));
  EXPECT_TRUE(dlg.IsHideTimerRunning());
}

TEST_F(CalibrationWindow, EnterAndEscapeDoNothing) {
  Make(false);
  dlg.ShowWithText("intro");
  Button(1000)->setFocus();
  for (QWidget* target : {static_cast<QWidget*>(Button(1000)), static_cast<QWidget*>(Button(1019)),
                          dlg.Control(1018), static_cast<QWidget*>(&dlg)}) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(target, key);
      EXPECT_TRUE(dlg.isVisible()) << key;
    }
  }
  EXPECT_TRUE(sent.empty());
  EXPECT_EQ(Hint(), "intro");
  // Other keys still reach the controls: space presses the focused button.
  QTest::keyClick(Button(1000), Qt::Key_Space);
  EXPECT_EQ(sent, std::vector<std::uint8_t>{117});
}

TEST_F(CalibrationWindow, ChineseTextsAndMissingKeys) {
  Make(true);
  EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("遥控器校准"));
  EXPECT_EQ(Button(1019)->text(), QString::fromUtf8("取消"));
  dlg.ShowWithText(QString::fromUtf8("请调整遥控器。\r\n\r\n确认后按确定。\r\n"));
  testing::KeepScreenshot(&dlg, "calibration-zh-intro");
  Button(1000)->click();
  EXPECT_EQ(Hint(), QString::fromUtf8("请把每个摇杆推到两端各两次，然后回中。"));
  testing::KeepScreenshot(&dlg, "calibration-zh");
  dlg.hide();

  // No language file at all: template texts, empty caption and hint.
  testing::LanguageFolder empty;
  const CLanguageManager bareTexts = testsupport::LoadedTexts(empty.Folder(), false);
  CAdjustTransmitterDlg bare(bareTexts);
  ASSERT_TRUE(bare.Create(nullptr));
  EXPECT_EQ(bare.windowTitle(), "");
  EXPECT_EQ(qobject_cast<QPushButton*>(bare.Control(1000))->text(), "OK");
  bare.ShowWithText("x");
  bare.OnConfirm();  // no sender set: nothing to send to, and no crash
  EXPECT_EQ(static_cast<QPlainTextEdit*>(bare.Control(1018))->toPlainText(), "");
}

// The language files the program ships (copied beside the test programs).
TEST(CalibrationWindowShipped, TextsOfBothLanguageFiles) {
  QApplication* app = testing::App();
  for (bool chinese : {false, true}) {
    const CLanguageManager wTexts =
        testsupport::LoadedTexts((app->applicationDirPath() + "/").toStdString(), chinese);
    CAdjustTransmitterDlg w(wTexts);
    ASSERT_TRUE(w.Create(nullptr)) << w.Error();
    EXPECT_FALSE(w.windowTitle().isEmpty()) << chinese;
    const CLanguageManager& l = w.m_language;
    w.ShowWithText(l.PublicTextForDisplay("LID_HINT_Transmitter1") + "\r\n\r\n" +
                   l.PublicTextForDisplay("LID_HINT_Transmitter2") + "\r\n\r\n" +
                   l.PublicTextForDisplay("LID_HINT_Transmitter3") + "\r\n");
    testing::KeepScreenshot(&w, chinese ? "calibration-shipped-zh-intro" : "calibration-shipped-en-intro");
    w.OnConfirm();
    const QString hint = static_cast<QPlainTextEdit*>(w.Control(1018))->toPlainText();
    EXPECT_FALSE(hint.isEmpty()) << chinese;
    EXPECT_EQ(hint, l.PublicTextForDisplay("LID_HINT_Transmitter4"));
    EXPECT_FALSE(hint.contains(QChar::ReplacementCharacter)) << chinese;
    testing::KeepScreenshot(&w, chinese ? "calibration-shipped-zh" : "calibration-shipped-en");
  }
}

}  // namespace
}  // namespace apdesk

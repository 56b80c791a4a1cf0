// Alerts in the main window: a replayed flight with a voltage sag, the
// speaker's order, mute and close, and screenshots in both languages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <functional>

#include "alerts/AlertSpeaker.h"
#include "alerts/CAlertsDlg.h"
#include "application/CConfigApp.h"
#include "common/SagFlight.h"
#include "common/SpeechStandIn.h"
#include "console/CSetApDlg.h"
#include "console/ScriptedHid.h"
#include "protocol/SentenceBytes.h"

namespace apdesk {
namespace {

using testsupport::SpeechStandIn;

QApplication* App() {
  static int argc = 1;
  static char name[] = "apdesk";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

TEST(AlertSpeaker, CriticalFirstMuteEmptiesAndNothingAfterShutdown) {
  App();
  auto record = std::make_shared<SpeechStandIn::Record>();
  AlertSpeaker speaker(SpeechStandIn::Factory(record));
  const QLocale en(QLocale::English);
  speaker.Say("w1", false, en);
  speaker.Say("w2", false, en);
  speaker.Say("c1", true, en);
  speaker.Say("c2", true, en);
  EXPECT_EQ(record->said, QStringList{"w1"});  // one at a time
  for (int i = 0; i < 3; ++i) {
    record->live->FinishSaying();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(record->said, (QStringList{"w1", "c1", "c2", "w2"}));

  record->live->FinishSaying();
  QCoreApplication::processEvents();
  speaker.Say("w3", false, en);
  speaker.Say("w4", false, en);
  speaker.SetMuted(true);
  EXPECT_EQ(speaker.Queued(), 0u);
  EXPECT_EQ(record->stops, 1);  // w3 cut short
  speaker.Say("w5", false, en);
  speaker.SetMuted(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(record->said.size(), 5);  // w4 and w5 never said
  speaker.Say("w6", false, en);
  EXPECT_EQ(record->said.back(), "w6");
  speaker.Shutdown();
  speaker.Say("w7", true, en);
  QCoreApplication::processEvents();
  EXPECT_EQ(record->said.back(), "w6");
}

TEST(AlertSpeaker, WithoutAVoiceTheLackIsToldOnce) {
  App();
  auto record = std::make_shared<SpeechStandIn::Record>();
  record->voice = false;
  AlertSpeaker speaker(SpeechStandIn::Factory(record));
  int told = 0;
  speaker.OnNoVoice([&] { ++told; });
  speaker.Say("a", false, QLocale(QLocale::Chinese));
  speaker.Say("b", true, QLocale(QLocale::Chinese));
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(record->said.isEmpty());
  EXPECT_FALSE(speaker.Speaking());
}

class AlertsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    m_binDir = QDir::currentPath();
    ASSERT_TRUE(m_dir.isValid());
    QDir().mkpath(m_dir.filePath("Language"));
    for (const char* file : {"Default.ini", "Chinese.ini"})
      QFile::copy(m_binDir + "/Language/" + file, m_dir.filePath(QString("Language/") + file));
    QDir::setCurrent(m_dir.path());
    m_flight = m_dir.filePath("sag.hj");
    // Ends in the sag: one alert, never cleared.
    ASSERT_TRUE(testsupport::WriteFlight(m_flight.toStdString(),
                                         {{30, 3.95}, {15, 3.55}, {5, 3.95}, {1, 0}, {4, 3.95}, {50, 3.55}}));
  }
  void TearDown() override {
    QDir::setCurrent(m_binDir);
    unsetenv("LC_ALL");
  }
  std::unique_ptr<CConfigApp> MakeApp() {
    return std::make_unique<CConfigApp>(
        m_dir.filePath("apdesk").toStdString(),
        std::make_unique<test::ScriptedHidBackend>(std::make_shared<test::ScriptedHid>()));
  }
  // The parameters a controller sent before: 3 cells, 3.65 V, 1000 m high and far.
  static void FeedParameters(CConfigApp& app) {
    const test::Bytes p = test::Parameters({{5, 3}, {43, 2 << 2}, {25, 100}, {28, 100}});
    app.Session().Link().Feed(p.data(), p.size());
  }

  QString m_binDir;
  QTemporaryDir m_dir;
  QString m_flight;
};

TEST_F(AlertsWindowTest, ReplayedSagRaisesOneWarningSpokenOnlyWhenSwitchedOn) {
  for (const bool speak : {false, true}) {
    auto app = MakeApp();
    CSetApDlg w(*app);
    auto record = std::make_shared<SpeechStandIn::Record>();
    w.Alerts().Speaker().SetFactory(SpeechStandIn::Factory(record));
    w.Alerts().SetSpeakDuringReplay(speak);
    w.show();
    FeedParameters(*app);
    QString why;
    ASSERT_TRUE(w.StartReplay(m_flight, 10, &why)) << why.toStdString();
    ASSERT_TRUE(WaitFor([&] { return !w.Alerts().Entries().empty(); }, 15000)) << "speak " << speak;
    WaitFor([] { return false; }, 800);  // the rest of the flight: nothing more

    ASSERT_EQ(w.Alerts().Entries().size(), 1u);
    const AlertEntry& e = w.Alerts().Entries().front();
    EXPECT_EQ(e.event.name, alerts::AlertName::LowVoltage);
    EXPECT_EQ(e.event.state, alerts::AlertState::Raised);
    EXPECT_EQ(e.text, "Battery low: 3.55 volts per cell");
    EXPECT_TRUE(w.AlertLabel()->isVisible());
    EXPECT_TRUE(w.AlertLabel()->text().endsWith(e.text));
    EXPECT_TRUE(w.AlertLabel()->styleSheet().contains("#ffb300"));  // a warning's amber
    CAlertsDlg* list = w.ShowAlerts();
    ASSERT_EQ(list->Table()->rowCount(), 1);
    EXPECT_EQ(list->Table()->item(0, 2)->text(), e.text);
    EXPECT_EQ(record->said, speak ? QStringList{e.text} : QStringList{});

    // Closed: what comes after is not spoken.
    w.done(QDialog::Accepted);
    w.Alerts().TestAlert();
    QCoreApplication::processEvents();
    EXPECT_EQ(record->said.size(), speak ? 1 : 0);
  }
}

// For looking at, beside the test program: the status line and Tools > Alerts.
TEST_F(AlertsWindowTest, Screenshots) {
  for (const char* locale : {"en_GB.UTF-8", "zh_CN.UTF-8"}) {
    setenv("LC_ALL", locale, 1);
    auto app = MakeApp();
    CSetApDlg w(*app);
    w.Alerts().Speaker().SetFactory(SpeechStandIn::Factory(std::make_shared<SpeechStandIn::Record>()));
    w.show();
    FeedParameters(*app);
    QString why;
    ASSERT_TRUE(w.StartReplay(m_flight, 10, &why)) << why.toStdString();
    ASSERT_TRUE(WaitFor([&] { return !w.Alerts().Entries().empty(); }, 15000));
    const QString lang = QString(locale).left(2);
    EXPECT_TRUE(w.grab().save(m_binDir + "/alerts_mainwindow_" + lang + ".png"));
    CAlertsDlg* list = w.ShowAlerts();
    EXPECT_TRUE(list->grab().save(m_binDir + "/alerts_list_" + lang + ".png"));
    EXPECT_EQ(list->windowTitle(), lang == "zh" ? QString::fromUtf8("报警") : QString("Alerts"));
  }
}

}  // namespace
}  // namespace apdesk

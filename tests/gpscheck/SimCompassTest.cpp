// The check window against the simulated controller: the buttons' frames
// reach it, and the headings it streams while turning give the verdict.

#include <gtest/gtest.h>

#include <QPushButton>
#include <chrono>
#include <cstring>

#include "calibration/WindowTestSupport.h"
#include "common/LanguageTexts.h"
#include "gpscheck/CGpsCheckDlg.h"
#include "protocol/SentenceParser.h"
#include "sim/SimHidBackend.h"

namespace apdesk {
namespace {

class ToWindow : public SentenceSink {
 public:
  explicit ToWindow(CGpsCheckDlg& dlg) : m_dlg(dlg) {}
  void OnStatusSentence(const std::uint8_t* s) override {
    if (m_dlg.m_checkActive) {
      m_dlg.ShowGpsRecord(s);
      ++shown;
    }
  }
  int shown = 0;

 private:
  CGpsCheckDlg& m_dlg;
};

struct SimRun {
  std::int32_t result = -1;
  std::uint64_t compassOn = 0, compassOff = 0;
  int shown = 0;
};

SimRun CheckAgainstSimulator(bool reversed) {
  QApplication* app = testing::App();
  (void)app;
  sim::SimOptions options;
  options.reversedCompass = reversed;
  options.rateHz = 10.0;  // 3 degrees a sentence at the simulated turning rate
  options.faults.garbage = false;
  std::shared_ptr<sim::SimHandle> handle;
  std::unique_ptr<IHidBackend> backend = sim::MakeSimHidBackend(options, &handle);
  const auto devices = backend->Enumerate(0x0483, 0x5750);
  EXPECT_EQ(devices.size(), 1u);
  if (devices.empty()) return {};
  std::unique_ptr<IHidDevice> device = backend->OpenPath(devices[0].path);
  EXPECT_NE(device, nullptr);
  if (!device) return {};

  const CLanguageManager texts = testsupport::ProgramTexts();
  CGpsCheckDlg dlg(texts);
  dlg.SetFrameSender([&](const CommandFrame& f) {
    std::uint8_t report[kHidReportSize] = {};
    std::memcpy(report, f.data(), f.size());
    EXPECT_EQ(device->WriteReport(report), static_cast<int>(kHidReportSize));
  });
  EXPECT_TRUE(dlg.Create());
  dlg.m_checkActive = 1;
  qobject_cast<QPushButton*>(dlg.Control(1000))->click();

  SentenceParser parser;
  ToWindow sink(dlg);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  // A turn through north counts as a fall; a few more sentences get past it.
  while (sink.shown < 16 && std::chrono::steady_clock::now() < deadline) {
    std::uint8_t report[kHidReportSize];
    const int n = device->ReadReport(report, 200);
    if (n < 0) break;
    if (n == 0) continue;
    parser.Append(report, static_cast<std::size_t>(n));
    parser.ParseSentences(sink);
  }
  qobject_cast<QPushButton*>(dlg.Control(1002))->click();
  SimRun run;
  run.result = dlg.CheckResult();
  run.shown = sink.shown;
  run.compassOn = handle->Counters().compassOn;
  run.compassOff = handle->Counters().compassOff;
  return run;
}

TEST(GpsWindowAgainstSimulator, TurningClockwiseIsGoodAndAReversedCompassIsWrong) {
  const SimRun good = CheckAgainstSimulator(false);
  EXPECT_GE(good.shown, 11);
  EXPECT_EQ(good.compassOn, 1u);
  EXPECT_EQ(good.compassOff, 1u);
  EXPECT_EQ(good.result, kCompassGood);

  const SimRun wrong = CheckAgainstSimulator(true);
  EXPECT_GE(wrong.shown, 11);
  EXPECT_EQ(wrong.result, kCompassWrong);
}

}  // namespace
}  // namespace apdesk

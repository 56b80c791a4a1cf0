// One redraw of the telemetry plots with a full span of records at 50 Hz:
// what the window's thread pays ten times a second while records arrive.
// Run offscreen: QT_QPA_PLATFORM=offscreen build/bin/telemetry_plots_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstring>
#include <vector>

#include "protocol/SentenceParser.h"
#include "telemetryplots/CTelemetryPlotsDlg.h"

namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "telemetry_plots_bench";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

std::vector<std::uint8_t> Record(int i) {
  std::vector<std::uint8_t> s(apdesk::kStatusSentenceLength, 0);
  std::memcpy(s.data(), "$STP", 4);
  s[24] = static_cast<std::uint8_t>(8 + (i / 500) % 4);
  s[32] = static_cast<std::uint8_t>(128 + (i % 100));
  s[35] = static_cast<std::uint8_t>(i % 256);
  const int tenths = 500 + (i % 3000);
  s[48] = static_cast<std::uint8_t>(tenths & 0xFF);
  s[49] = static_cast<std::uint8_t>(tenths >> 8);
  s[70] = static_cast<std::uint8_t>(i % 50);
  s[71] = 0x0A;
  return s;
}

// Arg: the span in minutes. Each iteration adds five records (a tenth of a
// second at 50 Hz) and redraws.
void BM_RedrawFullSpan(benchmark::State& state) {
  App();
  const CLanguageManager texts("", false);  // the built-in texts
  CTelemetryPlotsDlg dlg(texts);
  dlg.Create();
  dlg.show();
  const int minutes = static_cast<int>(state.range(0));
  dlg.SetSpanMinutes(minutes);
  int i = 0;
  for (; i < minutes * 60 * 50; ++i) dlg.AddStatusSentence(Record(i).data(), i * 20);
  dlg.Refresh();
  for (auto _ : state) {
    for (int k = 0; k < 5; ++k, ++i) dlg.AddStatusSentence(Record(i).data(), i * 20);
    dlg.Refresh();
  }
}
BENCHMARK(BM_RedrawFullSpan)->Arg(2)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

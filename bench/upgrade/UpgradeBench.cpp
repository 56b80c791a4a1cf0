// Upgrade throughput and the tool's turnaround, over the simulated boot
// loader, the HID link with its threads and events, and the upgrade window.
//
//   ReplyTurnaround: from a device report arriving at the HID back end (its
//     ReadReport returning) to the reply handed back (its WriteReport being
//     called), for every block request and read-back; p50/p99 in µs.
//   WholeUpgrade/<pacing ms>: a 917,000-byte image from the first
//     announcement to the acknowledged finish; with pacing, the ratio to the
//     nominal pacing (device reports sent x pacing) and to the same paced
//     device answered at once by the bare exchange on its reading thread.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/SimHidBackend.h"
#include "upgrade/CUpgradeDlg.h"
#include "upgrade/UpgradeTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wraps the simulated back end and times each request/reply pair at the
// back-end boundary, on the link's reader and writer threads.
class TimingDevice final : public apdesk::IHidDevice {
 public:
  TimingDevice(std::unique_ptr<apdesk::IHidDevice> inner, std::vector<double>& samples, std::mutex& mutex)
      : m_inner(std::move(inner)), m_samples(samples), m_mutex(mutex) {}
  int ReadReport(std::uint8_t* report, int timeoutMs) override {
    const int n = m_inner->ReadReport(report, timeoutMs);
    if (n == 64 && (report[0] == 0x32 || report[0] == 0x51)) {
      std::lock_guard lock(m_mutex);
      m_arrival = Clock::now();
      m_pending = true;
    }
    return n;
  }
  int WriteReport(const std::uint8_t* report) override {
    {
      std::lock_guard lock(m_mutex);
      if (m_pending && (report[0] == 0x32 || report[0] == 0x33 || report[0] == 0x51)) {
        m_samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - m_arrival).count());
        m_pending = false;
      }
    }
    return m_inner->WriteReport(report);
  }

 private:
  std::unique_ptr<apdesk::IHidDevice> m_inner;
  std::vector<double>& m_samples;
  std::mutex& m_mutex;
  Clock::time_point m_arrival;
  bool m_pending = false;
};

class TimingBackend final : public apdesk::IHidBackend {
 public:
  explicit TimingBackend(std::unique_ptr<apdesk::IHidBackend> inner) : m_inner(std::move(inner)) {}
  std::vector<apdesk::HidDeviceInfo> Enumerate(std::uint16_t v, std::uint16_t p) override {
    return m_inner->Enumerate(v, p);
  }
  std::unique_ptr<apdesk::IHidDevice> OpenPath(const std::string& path) override {
    auto device = m_inner->OpenPath(path);
    if (!device) return nullptr;
    return std::make_unique<TimingDevice>(std::move(device), samples, mutex);
  }
  std::vector<double> samples;
  std::mutex mutex;

 private:
  std::unique_ptr<apdesk::IHidBackend> m_inner;
};

struct RunResult {
  bool ok = false;
  double seconds = 0;
  std::uint64_t deviceReports = 0;
  std::uint64_t announcements = 0;
  std::uint64_t retries = 0;
  std::vector<double> samples;
};

// One upgrade: the image is chosen first, then the device is opened and the
// exchange runs until the finish report has been acknowledged.
RunResult RunUpgrade(std::size_t imageSize, int pacingMs) {
  RunResult result;
  QTemporaryDir dir;
  const QString path = dir.path() + "/fw.bin";
  const std::vector<std::uint8_t> image = apdesk::upgradetest::RandomImage(imageSize, 11);
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return result;
    f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
  }

  apdesk::sim::SimOptions options;
  options.bootloader = true;
  options.bootPacingMs = pacingMs;
  options.eraseStepMs = 0;
  options.faults.garbage = false;
  std::shared_ptr<apdesk::sim::SimHandle> handle;
  auto timing = std::make_unique<TimingBackend>(apdesk::sim::MakeSimHidBackend(options, &handle));
  TimingBackend* backend = timing.get();
  CHidLink link(std::move(timing));
  const CLanguageManager texts("", false);  // the built-in texts
  CUpgradeDlg dlg(texts);
  dlg.SetLink(&link);
  dlg.SetQuitRequester([] {});
  if (!dlg.Create(nullptr) || !dlg.LoadImageFile(path)) return result;
  apdesk::upgradetest::MainWindowStandIn owner(link, dlg);

  const auto start = Clock::now();
  if (!link.Open(0x0483, 0x5750)) return result;
  result.ok = apdesk::upgradetest::PumpUntil(
      [&] { return handle->UpgradeComplete() && dlg.Exchange().FinishAcknowledged(); }, 120000);
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.ok = result.ok && handle->ReceivedImage() == image;
  const apdesk::sim::SimCounters counters = handle->Counters();
  result.deviceReports = counters.reportsSent;
  result.announcements = counters.announcements;
  result.retries = counters.requestRetries;
  link.Stop();
  {
    std::lock_guard lock(backend->mutex);
    result.samples = backend->samples;
  }
  return result;
}

// The same upgrade answered at once on the reading thread by the bare
// exchange, with no link, events or window: what the paced device takes by
// itself, its own clock's granularity included.
double RunDirect(std::size_t imageSize, int pacingMs) {
  apdesk::sim::SimOptions options;
  options.bootloader = true;
  options.bootPacingMs = pacingMs;
  options.eraseStepMs = 0;
  options.faults.garbage = false;
  std::shared_ptr<apdesk::sim::SimHandle> handle;
  auto backend = apdesk::sim::MakeSimHidBackend(options, &handle);
  apdesk::UpgradeExchange exchange;
  if (!exchange.LoadImage(apdesk::upgradetest::RandomImage(imageSize, 11))) return -1;
  const auto start = Clock::now();
  auto device = backend->OpenPath(apdesk::sim::kSimDevicePath);
  if (!device) return -1;
  std::uint8_t report[64];
  while (!(handle->UpgradeComplete() && exchange.FinishAcknowledged())) {
    const int n = device->ReadReport(report, 50);
    if (n < 0 || Clock::now() - start > std::chrono::seconds(120)) return -1;
    if (n == 0) continue;
    const apdesk::UpgradeResult r = exchange.HandleReport(report);
    for (std::size_t i = 0; i < r.replyCount; ++i) device->WriteReport(r.replies[i].data());
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
  return v[i];
}

void ReplyTurnaround(benchmark::State& state) {
  RunResult r;
  for (auto _ : state) {
    r = RunUpgrade(100000, 1);
    if (!r.ok) state.SkipWithError("upgrade did not complete");
  }
  state.counters["samples"] = static_cast<double>(r.samples.size());
  state.counters["p50_us"] = Percentile(r.samples, 0.50);
  state.counters["p99_us"] = Percentile(r.samples, 0.99);
  state.counters["max_us"] = Percentile(r.samples, 1.0);
}
BENCHMARK(ReplyTurnaround)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void WholeUpgrade(benchmark::State& state) {
  const int pacing = static_cast<int>(state.range(0));
  RunResult r;
  for (auto _ : state) {
    r = RunUpgrade(917000, pacing);
    if (!r.ok) state.SkipWithError("upgrade did not complete");
  }
  state.counters["seconds"] = r.seconds;
  state.counters["device_reports"] = static_cast<double>(r.deviceReports);
  state.counters["announcements"] = static_cast<double>(r.announcements);
  state.counters["retries"] = static_cast<double>(r.retries);
  state.counters["tool_us_per_report"] =
      r.deviceReports ? r.seconds * 1e6 / static_cast<double>(r.deviceReports) : 0;
  if (pacing > 0 && r.deviceReports > 0) {
    const double pacingAlone = static_cast<double>(r.deviceReports) * pacing / 1000.0;
    state.counters["pacing_alone_s"] = pacingAlone;
    state.counters["ratio_to_pacing"] = r.seconds / pacingAlone;
    const double direct = RunDirect(917000, pacing);
    state.counters["device_alone_s"] = direct;
    if (direct > 0) state.counters["ratio_to_device_alone"] = r.seconds / direct;
  }
  state.counters["p99_turnaround_us"] = Percentile(r.samples, 0.99);
}
BENCHMARK(WholeUpgrade)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  // What Google Benchmark did not take is no option of ours either.
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// What looking for a lost controller costs, on this machine.
//
//   LookOnce/usb, LookOnce/serial: one look (a hidapi device listing for
//     0483:5750; a check of the serial port's device node) while the device
//     is away. At one look a second, the share of one core is the time / 1 s.
//   WhileLost/usb, WhileLost/serial: the process's processor time over 5 s
//     of its event loop while it looks, as a share of one core
//     (core_share_percent; the target is under 0.5).
//   WhileConnected: the same over 5 s with the device open and silent: the
//     follower does nothing (looks counts the looks made; 0).

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <ctime>
#include <filesystem>
#include <memory>

#include <pty.h>
#include <unistd.h>

#include "link/CommUart.h"
#include "link/ControllerLink.h"
#include "link/HidLink.h"
#include "link/HidapiBackend.h"
#include "link/LinkFollower.h"

namespace {

namespace fs = std::filesystem;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs the event loop for ms milliseconds, asleep while nothing happens.
void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

struct Rig {
  CCommUart uart;
  CHidLink hid{apdesk::MakeHidapiBackend()};
  apdesk::ControllerLink link{uart, hid};
  apdesk::LinkFollower follower{link, uart, hid};
  fs::path portName = fs::temp_directory_path() / ("follow-bench-" + std::to_string(getpid()));
  int looks = 0;

  Rig() {
    QObject::connect(&follower, &apdesk::LinkFollower::Returned, [] {});
  }
  ~Rig() {
    uart.Close();
    hid.Stop();
    fs::remove(portName);
  }

  // USB: looking for the first controller (none is plugged in here).
  bool LoseUsb() {
    follower.WaitForUsb();
    return follower.Looking() && !hid.IsOpen();
  }
  // Serial: a port opened by name, its far end gone and the name removed.
  bool LoseSerial() {
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return false;
    close(slave);
    fs::remove(portName);
    fs::create_symlink(name, portName);
    if (!uart.Open(portName.string(), apdesk::LineSettings{})) return false;
    close(master);
    QElapsedTimer clock;
    clock.start();
    while (!follower.IsLost() && clock.elapsed() < 3000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    fs::remove(portName);
    return follower.IsLost();
  }
  bool Lose(bool serial) { return serial ? LoseSerial() : LoseUsb(); }
};

void LookOnce(benchmark::State& state) {
  Rig rig;
  if (!rig.Lose(state.range(0) != 0)) {
    state.SkipWithError("could not set up a lost device");
    return;
  }
  for (auto _ : state) rig.follower.LookOnce();
  state.SetLabel(state.range(0) != 0 ? "serial" : "usb");
}
BENCHMARK(LookOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void WhileLost(benchmark::State& state) {
  Rig rig;
  if (!rig.Lose(state.range(0) != 0)) {
    state.SkipWithError("could not set up a lost device");
    return;
  }
  double share = 0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Pump(5000);
    share = (ProcessCpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0) * 100.0;
  }
  state.counters["core_share_percent"] = share;
  state.SetLabel(state.range(0) != 0 ? "serial" : "usb");
}
BENCHMARK(WhileLost)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void WhileConnected(benchmark::State& state) {
  Rig rig;
  int master = -1, slave = -1;
  char name[128] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0 || !rig.uart.Open(name, apdesk::LineSettings{})) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  close(slave);
  double share = 0;
  for (auto _ : state) {
    const double cpu0 = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Pump(5000);
    share = (ProcessCpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0) * 100.0;
  }
  state.counters["core_share_percent"] = share;
  state.counters["looking"] = rig.follower.Looking() ? 1 : 0;
  close(master);
}
BENCHMARK(WhileConnected)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  // What Google Benchmark did not take is no option of ours either.
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

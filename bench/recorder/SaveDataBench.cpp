// What the user-interface thread pays per telemetry record, and how fast the
// worker drains a burst to the disk. Files go under the current directory
// (a local disk), in a folder removed afterwards.
#include "recorder/SaveData.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

using apdesk::CSaveData;
using apdesk::kRecordSize;

std::vector<std::uint8_t> Sentence() {
  std::vector<std::uint8_t> s(kRecordSize, 0x11);
  std::memcpy(s.data(), "$STP", 4);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 98; ++i) sum += s[i];
  s[98] = static_cast<std::uint8_t>(sum);
  return s;
}

std::string BenchDir() {
  std::string dir = "recorder-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  return dir;
}

std::tm Start() {
  std::tm t{};
  t.tm_year = 114;
  t.tm_mday = 1;
  return t;
}

// The sum check, the copy and the hand-over: what the user-interface thread
// pays per record. The queue is dropped (untimed) every few thousand records.
void BM_AddRecord(benchmark::State& state) {
  const std::string dir = BenchDir();
  const auto s = Sentence();
  auto rec = std::make_unique<CSaveData>(Start(), dir);
  int queued = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(apdesk::RecordStatusSentence(*rec, s.data()));
    if (++queued == 4096) {
      state.PauseTiming();
      rec = std::make_unique<CSaveData>(Start(), dir);
      queued = 0;
      state.ResumeTiming();
    }
  }
  rec.reset();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AddRecord);

// The same while the worker drains the queue to the disk at the same time
// (the lock is then shared with it).
void BM_AddRecordWithWorker(benchmark::State& state) {
  const std::string dir = BenchDir();
  const auto s = Sentence();
  {
    CSaveData rec(Start(), dir);
    rec.StartThread();
    for (auto _ : state) benchmark::DoNotOptimize(apdesk::RecordStatusSentence(rec, s.data()));
    rec.StopThread();
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AddRecordWithWorker)->Iterations(300000);

// One pass writing a queued burst of records to a fresh file.
void BM_WorkerWrites(benchmark::State& state) {
  const std::string dir = BenchDir();
  const auto s = Sentence();
  const int burst = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(dir + "/Hj");
    CSaveData rec(Start(), dir);
    for (int i = 0; i < burst; ++i) apdesk::RecordStatusSentence(rec, s.data());
    state.ResumeTiming();
    benchmark::DoNotOptimize(rec.FlushRecords());
    rec.SyncNow();
  }
  state.SetItemsProcessed(state.iterations() * burst);
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WorkerWrites)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

double CpuMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// What the worker costs between records at 10 Hz telemetry: the process's
// processor time less the feeding thread's own, per second of wall time.
void BM_WorkerCpuAt10Hz(benchmark::State& state) {
  const std::string dir = BenchDir();
  const auto s = Sentence();
  double workerMs = 0, wallMs = 0;
  for (auto _ : state) {
    CSaveData rec(Start(), dir);
    rec.StartThread();
    usleep(20 * 1000);  // let the worker settle
    const double process0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID), self0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    const double wall0 = CpuMs(CLOCK_MONOTONIC);
    for (int i = 0; i < 20; ++i) {
      apdesk::RecordStatusSentence(rec, s.data());
      usleep(100 * 1000);
    }
    workerMs += (CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0) - (CpuMs(CLOCK_THREAD_CPUTIME_ID) - self0);
    wallMs += CpuMs(CLOCK_MONOTONIC) - wall0;
  }
  state.counters["worker_cpu_%"] = 100.0 * workerMs / wallMs;
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WorkerCpuAt10Hz)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

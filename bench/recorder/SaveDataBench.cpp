// What the user-interface thread pays per telemetry record, and how fast the
// worker drains a burst to the disk. Files go under the current directory
// (a local disk), in a folder removed afterwards.
#include "recorder/SaveData.h"

#include <benchmark/benchmark.h>

#include <cstring>
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

}  // namespace

BENCHMARK_MAIN();

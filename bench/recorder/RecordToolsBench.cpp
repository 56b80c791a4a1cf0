// The record tools and the viewer's loader on a generated 1,000,000-record
// file (99 MB, read from the page cache after the first pass): `record info`,
// export to CSV and JSON Lines (into a stream that only counts), and the
// viewer's columns. Throughput is over the record file's size.
//
//   record_tools_bench [--benchmark_filter=...]      RECORDS=... to change the size
//
// The file goes to TMPDIR (default /tmp) and is removed at the end.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <streambuf>
#include <string>

#include <unistd.h>

#include "recorder/FlightFile.h"
#include "recorder/RecordFile.h"
#include "viewer/FlightData.h"

namespace {

struct FlightFile {
  std::string path;
  long long bytes = 0;
  FlightFile() {
    const char* dir = std::getenv("TMPDIR");
    path =
        std::string(dir ? dir : "/tmp") + "/apdesk-record-tools-bench-" + std::to_string(::getpid()) + ".hj";
    const char* records = std::getenv("RECORDS");
    const long long n = records ? std::atoll(records) : 1000000;
    if (!apdesk::bench::WriteFlightFile(path, n)) {
      std::perror(path.c_str());
      std::exit(1);
    }
    bytes = n * static_cast<long long>(apdesk::kRecordSize);
  }
  ~FlightFile() { std::remove(path.c_str()); }
};

const FlightFile& File() {
  static const FlightFile file;
  return file;
}

// Counts what is written and keeps none of it.
class CountingBuf : public std::streambuf {
 public:
  std::size_t count = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    count += static_cast<std::size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    ++count;
    return traits_type::not_eof(c);
  }
};

void Done(benchmark::State& state) {
  state.SetBytesProcessed(File().bytes * static_cast<std::int64_t>(state.iterations()));
}

void BM_RecordInfo(benchmark::State& state) {
  File();  // made before the clock runs
  for (auto _ : state) {
    apdesk::RecordInfo info;
    std::string error;
    if (!apdesk::SummariseRecordFile(File().path, &info, &error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(info);
  }
  Done(state);
}
BENCHMARK(BM_RecordInfo)->Unit(benchmark::kMillisecond);

void Export(benchmark::State& state, apdesk::ExportFormat format) {
  std::size_t written = 0;
  File();
  for (auto _ : state) {
    CountingBuf buf;
    std::ostream out(&buf);
    apdesk::ExportCounts counts;
    std::string error;
    if (!apdesk::ExportRecordFile(File().path, format, "flight.hj", out, &counts, &error))
      state.SkipWithError(error.c_str());
    written = buf.count;
  }
  Done(state);
  state.SetLabel(std::to_string(written / 1000000) + " MB out");
}

void BM_ExportCsv(benchmark::State& state) {
  Export(state, apdesk::ExportFormat::Csv);
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond);

void BM_ExportJsonl(benchmark::State& state) {
  Export(state, apdesk::ExportFormat::Jsonl);
}
BENCHMARK(BM_ExportJsonl)->Unit(benchmark::kMillisecond);

void BM_ViewerLoad(benchmark::State& state) {
  File();
  for (auto _ : state) {
    apdesk::FlightData data;
    std::string error;
    if (!apdesk::LoadFlightFile(File().path, &data, &error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(data);
  }
  Done(state);
}
BENCHMARK(BM_ViewerLoad)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Measures the flight-records window's reading of a record file alone (no
// window, no drawing): the processor time of LoadFlightFile, several times
// over, as the minimum and the median. The file is read once first so that
// every run reads it from the page cache (that first one is shown on its
// own: it also pays for the process's first memory). Large blocks are always mapped
// afresh (no reuse of the last run's memory), so each run pays for its pages
// as the window's one load does.
//
//   flight_load_bench FILE.hj [RUNS]      (make one with make_record_file)

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "viewer/FlightData.h"

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argv[1][0] == '-') {
    std::fputs("usage: flight_load_bench FILE.hj [RUNS]\n", argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  std::vector<double> ms;
  std::size_t records = 0;
  double first = 0;
  for (int r = 0; r <= runs; ++r) {
    apdesk::FlightData data;
    std::string error;
    const double start = ThreadCpuMs();
    if (!apdesk::LoadFlightFile(argv[1], &data, &error)) {
      std::fprintf(stderr, "flight_load_bench: %s\n", error.c_str());
      return 1;
    }
    // The first run also warms the page cache and the process's memory.
    (r == 0 ? first : ms.emplace_back()) = ThreadCpuMs() - start;
    records = data.Size();
  }
  std::sort(ms.begin(), ms.end());
  rusage resources{};
  getrusage(RUSAGE_SELF, &resources);
  std::printf(
      "records %zu  first load %.1f ms, then %d times: processor min %.1f ms  median %.1f ms  "
      "max resident memory %.0f MB\n",
      records, first, runs, ms.front(), ms[ms.size() / 2], static_cast<double>(resources.ru_maxrss) / 1024);
  return 0;
}

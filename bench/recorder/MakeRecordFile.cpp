// Writes a flight-record file of N records from the simulated controller's
// telemetry (see FlightFile.h), for the record-tool and viewer measurements:
//
//   make_record_file OUT.hj [RECORDS] [RATE_HZ]     (default 1000000 at 50 Hz)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "recorder/FlightFile.h"

namespace {

const char kUsage[] =
    "usage: make_record_file OUT.hj [RECORDS] [RATE_HZ]     (default 1000000 at 50 Hz)\n"
    "Writes a flight-record file of RECORDS records of the simulated controller.\n";

// The whole text must be the number: "abc" or "5x" is refused, not read as 0 or 5.
bool WholeNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(*value);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    // No options besides --help: "--help" must never become a file's name.
    if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "make_record_file: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  if (argc < 2 || argc > 4) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  double recordsValue = 1000000, rate = 50.0;
  if ((argc > 2 && !WholeNumber(argv[2], &recordsValue)) || (argc > 3 && !WholeNumber(argv[3], &rate)) ||
      recordsValue < 0 || recordsValue > 1e12 || recordsValue != std::floor(recordsValue) || !(rate > 0)) {
    std::fprintf(stderr,
                 "make_record_file: RECORDS must be a whole number, 0 or more, and RATE_HZ above 0\n");
    return 2;
  }
  const long long records = static_cast<long long>(recordsValue);
  if (!apdesk::bench::WriteFlightFile(argv[1], records, rate)) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

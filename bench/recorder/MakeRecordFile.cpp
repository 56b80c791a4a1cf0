// Writes a flight-record file of N records from the simulated controller's
// telemetry (see FlightFile.h), for the record-tool and viewer measurements:
//
//   make_record_file OUT.hj [RECORDS] [RATE_HZ]     (default 1000000 at 50 Hz)

#include <cstdio>
#include <cstdlib>

#include "recorder/FlightFile.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_record_file OUT.hj [RECORDS] [RATE_HZ]\n");
    return 2;
  }
  const long long records = argc > 2 ? std::atoll(argv[2]) : 1000000;
  const double rate = argc > 3 ? std::atof(argv[3]) : 50.0;
  if (records < 0 || !(rate > 0)) {
    std::fprintf(stderr, "make_record_file: RECORDS must be 0 or more and RATE_HZ above 0\n");
    return 2;
  }
  if (!apdesk::bench::WriteFlightFile(argv[1], records, rate)) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

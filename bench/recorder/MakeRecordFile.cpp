// Writes a flight-record file of N records from the simulated controller's
// telemetry, flying a circuit so the track, altitude and speed change, for the
// record-tool and viewer benchmarks:
//
//   make_record_file OUT.hj [RECORDS] [RATE_HZ]     (default 1000000 at 50 Hz)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/SimWire.h"
#include "sim/StatusModel.h"

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
    std::fprintf(stderr, "make_record_file: RECORDS must be a whole number, 0 or more, and RATE_HZ above 0\n");
    return 2;
  }
  const long long records = static_cast<long long>(recordsValue);
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  apdesk::sim::SimOptions options;
  apdesk::sim::StatusModel model(options);
  apdesk::sim::Rng rng(options.seed);
  constexpr double kPi = 3.14159265358979;
  constexpr double kMetresPerDegree = 111320.0;
  for (long long i = 0; i < records; ++i) {
    const std::int64_t ms = static_cast<std::int64_t>(static_cast<double>(i) * 1000.0 / rate);
    apdesk::sim::StatusFields s = model.Next(ms, rng);
    // A 300 m circuit every four minutes, with a climb and descent.
    const double a = 2 * kPi * static_cast<double>(ms) / 240000.0;
    const double north = 300 * std::sin(a), east = 300 * (1 - std::cos(a));
    const double lat = options.startLatitude + north / kMetresPerDegree;
    s.latitude = static_cast<float>(lat);
    s.longitude =
        static_cast<float>(options.startLongitude + east / (kMetresPerDegree * std::cos(lat * kPi / 180)));
    s.altitudeTenths = static_cast<std::int16_t>(400 + 350 * std::sin(a / 3));
    const double speed = 2 * kPi * 300 / 240.0 * 100;  // cm/s
    s.velocityX = static_cast<std::uint16_t>(std::fabs(speed * std::cos(a)));
    s.velocityY = static_cast<std::uint16_t>(std::fabs(speed * std::sin(a)));
    s.voltageRaw = static_cast<std::int16_t>(3440 - 600 * static_cast<double>(i) / std::max(1LL, records));
    const apdesk::sim::StatusSentence bytes = apdesk::sim::EncodeStatus(s);
    if (std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      std::perror(argv[1]);
      std::fclose(f);
      return 1;
    }
  }
  if (std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}

#pragma once
// A simulated flight record of N records from the simulated controller's
// telemetry, flying a circuit so the track, altitude and speed change: the
// input of the record-tool and viewer benchmarks.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "sim/SimWire.h"
#include "sim/StatusModel.h"

namespace apdesk::bench {

// False, with errno set, when the file cannot be written.
inline bool WriteFlightFile(const std::string& path, long long records, double rate = 50.0) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
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
      std::fclose(f);
      return false;
    }
  }
  return std::fclose(f) == 0;
}

}  // namespace apdesk::bench

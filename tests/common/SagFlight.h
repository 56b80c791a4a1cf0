#pragma once
// A short generated flight for the alert tests: ten records a second with
// their UTC time, played from segments (volts per cell, satellites, height
// above the start), written as a flight-record file. The simulated
// controller's own parameters hold 3 cells, a 3.65 V alert threshold and a
// 120 m altitude limit.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/SimWire.h"

namespace testsupport {

struct FlightSegment {
  int records;
  double cellVolts;  // 0: the controller reads no voltage
  int satellites = 10;
  double heightM = 0;
};

inline constexpr int kSimCells = 3;

// The flight starts on 2026-12-09 at 00:00:00 UTC, at 22.5 N 113.9 E, 30 m.
inline std::vector<apdesk::sim::StatusSentence> FlightRecords(const std::vector<FlightSegment>& segments) {
  std::vector<apdesk::sim::StatusSentence> records;
  int n = 0;
  for (const FlightSegment& s : segments) {
    for (int i = 0; i < s.records; ++i, ++n) {
      apdesk::sim::StatusFields f;
      f.latitude = 22.5f;
      f.longitude = 113.9f;
      f.satellites = static_cast<std::uint8_t>(s.satellites);
      f.year = 26;
      f.month = 12;
      f.day = 9;
      const int second = n / 10;
      f.hour = static_cast<std::uint8_t>(second / 3600);
      f.minute = static_cast<std::uint8_t>(second / 60 % 60);
      f.second = static_cast<std::uint8_t>(second % 60);
      f.altitudeTenths = static_cast<std::int16_t>((30 + s.heightM) * 10);
      f.voltageRaw = static_cast<std::int16_t>(s.cellVolts * kSimCells * 4096 / 20 + 0.5);
      f.sequence = static_cast<std::uint32_t>(n);
      records.push_back(apdesk::sim::EncodeStatus(f));
    }
  }
  return records;
}

inline bool WriteFlight(const std::string& path, const std::vector<FlightSegment>& segments) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = true;
  for (const auto& r : FlightRecords(segments)) ok = ok && std::fwrite(r.data(), 1, r.size(), f) == r.size();
  return std::fclose(f) == 0 && ok;
}

// 20 s: a 1.5 s dip and a single 0 V reading (neither is an alert), then a
// 5.5 s sag to 3.55 V per cell while climbing to 112 m (above 90 % of the
// 120 m limit), then back to 3.95 V at 50 m. Its alerts: altitude_limit
// raised, low_voltage raised, altitude_limit cleared, low_voltage cleared.
inline std::vector<FlightSegment> SagFlight() {
  return {{30, 3.95}, {15, 3.55}, {5, 3.95}, {1, 0}, {4, 3.95}, {55, 3.55, 10, 112}, {90, 3.95, 10, 50}};
}

}  // namespace testsupport

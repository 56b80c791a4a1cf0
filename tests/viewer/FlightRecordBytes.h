#pragma once
// Record files for the viewer tests, written from the wire layout.

#include <cmath>
#include <fstream>
#include <string>

#include "protocol/SentenceBytes.h"

namespace apdesk::test {

struct FlightPoint {
  double north = 0, east = 0;  // metres from 22.5 N, 113.25 E
  bool fix = true;
  int second = 0;  // 2024-05-01 08:00:00 UTC + second
  int altitudeTenths = 0;
  int voltageRaw = 2458;
};

inline Bytes FlightRecord(const FlightPoint& p) {
  Bytes s = Status();
  constexpr double kPi = 3.14159265358979323846, kEarth = 6371000.0;
  const double lat = 22.5 + p.north / kEarth * 180 / kPi;
  const double lon = 113.25 + p.east / (kEarth * std::cos(22.5 * kPi / 180)) * 180 / kPi;
  PutFloat(s, 4, static_cast<float>(lat));
  PutFloat(s, 8, static_cast<float>(lon));
  s[24] = p.fix ? 9 : 0;
  const int sec = p.second;
  s[25] = 24;
  s[26] = 5;
  s[27] = static_cast<std::uint8_t>(1 + sec / 86400);
  s[28] = static_cast<std::uint8_t>(8 + sec / 3600 % 24);
  s[29] = static_cast<std::uint8_t>(sec / 60 % 60);
  s[30] = static_cast<std::uint8_t>(sec % 60);
  PutU16(s, 48, static_cast<unsigned>(p.altitudeTenths) & 0xFFFF);
  PutU16(s, 70, static_cast<unsigned>(p.voltageRaw) & 0xFFFF);
  PutSum(s);
  return s;
}

inline void Append(Bytes& file, const Bytes& more) {
  file.insert(file.end(), more.begin(), more.end());
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace apdesk::test

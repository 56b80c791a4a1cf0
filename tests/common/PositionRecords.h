#pragma once
// "$STP" sentences at chosen places, and "$PAR" sentences with chosen limits,
// for the map tests.

#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/SentenceParser.h"

namespace test {

// A fix (8 satellites) at lat/lon, course in degrees, altitude in metres.
inline std::vector<std::uint8_t> PositionRecord(double lat, double lon, double courseDegrees,
                                                double altitude) {
  std::vector<std::uint8_t> s(apdesk::kStatusSentenceLength, 0);
  std::memcpy(s.data(), "$STP", 4);
  const float la = static_cast<float>(lat), lo = static_cast<float>(lon);
  const float course = static_cast<float>(courseDegrees * 3.14159265 / 180.0);
  std::memcpy(&s[4], &la, 4);  // little-endian floats, as the controller sends them
  std::memcpy(&s[8], &lo, 4);
  std::memcpy(&s[20], &course, 4);
  s[24] = 8;
  const int tenths = static_cast<int>(altitude * 10);
  s[48] = static_cast<std::uint8_t>(tenths & 0xFF);
  s[49] = static_cast<std::uint8_t>((tenths >> 8) & 0xFF);
  s.back() = apdesk::ByteSum(s.data(), s.size() - 1);
  return s;
}

// Limits in metres (multiples of 10).
inline std::vector<std::uint8_t> LimitsSentence(int altitudeMetres, int distanceMetres) {
  std::vector<std::uint8_t> s(45, 0);
  std::memcpy(s.data(), "$PAR", 4);
  s[25] = static_cast<std::uint8_t>(altitudeMetres / 10);
  s[28] = static_cast<std::uint8_t>(distanceMetres / 10);
  s[44] = apdesk::ByteSum(s.data(), 44);
  return s;
}

}  // namespace test

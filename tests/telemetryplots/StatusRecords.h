#pragma once
// "$STP" records with chosen values, for the telemetry plot tests.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/SentenceParser.h"

namespace apdesk::testing {

// Record i of a made-up flight: altitude i/10 m, satellites 5 + i % 7, the
// throttle i % 256, velocity x 300 cm/s and y 400 cm/s (5 m/s over ground).
inline std::vector<std::uint8_t> StatusRecord(int i) {
  std::vector<std::uint8_t> s(kStatusSentenceLength, 0);
  std::memcpy(s.data(), "$STP", 4);
  s[24] = static_cast<std::uint8_t>(5 + i % 7);
  s[35] = static_cast<std::uint8_t>(i % 256);
  const int tenths = i % 30000;
  s[48] = static_cast<std::uint8_t>(tenths & 0xFF);  // low byte first
  s[49] = static_cast<std::uint8_t>(tenths >> 8);
  s[50] = 0x01;  // 300, high byte first
  s[51] = 0x2C;
  s[94] = 0x01;  // 400
  s[95] = 0x90;
  s.back() = ByteSum(s.data(), s.size() - 1);
  return s;
}

}  // namespace apdesk::testing

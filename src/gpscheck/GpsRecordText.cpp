#include "gpscheck/GpsRecordText.h"

#include <cstdio>
#include <cstring>

namespace apdesk {
namespace {

float FloatAt(const std::uint8_t* s, std::size_t offset) {
  const std::uint32_t bits = static_cast<std::uint32_t>(s[offset]) | static_cast<std::uint32_t>(s[offset + 1]) << 8 |
                             static_cast<std::uint32_t>(s[offset + 2]) << 16 |
                             static_cast<std::uint32_t>(s[offset + 3]) << 24;
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// The two velocity fields are the sentence's only big-endian numbers.
int BigEndian16At(const std::uint8_t* s, std::size_t offset) { return s[offset] << 8 | s[offset + 1]; }

template <typename... Args>
std::string Format(const char* format, Args... args) {
  // Large enough for "%.6lf" of the largest float (39 digits and more).
  char buf[128];
  const int n = std::snprintf(buf, sizeof buf, format, args...);
  if (n < 0) return std::string();
  return std::string(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

}  // namespace

GpsRecordText DecodeGpsRecord(const std::uint8_t* s) {
  GpsRecordText t;
  t.latitude = Format("%.6lf", static_cast<double>(FloatAt(s, 4)));
  t.longitude = Format("%.6lf", static_cast<double>(FloatAt(s, 8)));
  t.headingDegrees = static_cast<float>(FloatAt(s, 20) * 180.0 / 3.14159265);
  t.heading = Format("%.1lf", static_cast<double>(t.headingDegrees));
  t.satellites = Format("%d", static_cast<int>(s[24]));
  t.time = Format("%d-%02d-%02d %02d:%02d:%02d", s[25] + 2000, static_cast<int>(s[26]), static_cast<int>(s[27]),
                  static_cast<int>(s[28]), static_cast<int>(s[29]), static_cast<int>(s[30]));
  t.pdop = Format("%.1lf", s[55] / 10.0);
  t.velocityX = Format("%d cm/s", BigEndian16At(s, 50));
  t.velocityY = Format("%d cm/s", BigEndian16At(s, 94));
  return t;
}

}  // namespace apdesk

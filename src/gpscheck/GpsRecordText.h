#pragma once
// The GPS fields of one 99-byte "$STP" sentence as the check window shows
// them. Plain C++: bytes in, texts out.

#include <cstddef>
#include <cstdint>
#include <string>

namespace apdesk {

inline constexpr std::size_t kGpsRecordSize = 99;

struct GpsRecordText {
  std::string latitude;    // 1007, "%.6lf"
  std::string longitude;   // 1018, "%.6lf"
  std::string heading;     // 1020, degrees "%.1lf"
  std::string satellites;  // 1019
  std::string time;        // 1021, "yyyy-mm-dd hh:mm:ss"
  std::string pdop;        // 1022, "%.1lf"
  std::string velocityX;   // 1023, "%d cm/s"
  std::string velocityY;   // 1024, "%d cm/s"
  float headingDegrees = 0.0f;  // for the dial and the judgement
};

// s points at the "$" of a sentence of kGpsRecordSize bytes.
GpsRecordText DecodeGpsRecord(const std::uint8_t* s);

}  // namespace apdesk

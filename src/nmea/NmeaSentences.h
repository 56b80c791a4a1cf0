#pragma once
// The aircraft's position as NMEA 0183 sentences (GGA, RMC, VTG), for gpsd,
// antenna trackers and chart plotters. Each sentence is "$" + body + "*" + two
// hex digits of the XOR of the body's bytes + CR LF, at most 82 characters.
//
// "$STP" carries no fix flag: a position counts as a fix when at least
// kMinFixSatellites satellites are in view and the coordinates are real
// numbers inside their ranges and not both exactly 0 (what a receiver without
// a fix leaves there). Without a fix GGA says quality 0 and RMC status V, and
// no position, speed or course is given.

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/StatusSentence.h"

namespace apdesk::nmea {

inline constexpr int kMaxSentenceLength = 82;  // "$" to LF inclusive
inline constexpr int kMinFixSatellites = 4;
inline constexpr double kKnotsPerCmPerS = 3600.0 / 185200.0;  // 1 kn = 1852 m/h

// What the sentences say, taken from one "$STP".
struct PositionReport {
  bool fix = false;
  bool timeValid = false;  // a real calendar date and time of day
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  double latitude = 0;   // degrees, north positive
  double longitude = 0;  // degrees, east positive
  double altitude = 0;   // metres
  double speedKnots = 0;
  double courseDegrees = 0;  // true, 0 <= course < 360
  int satellites = 0;        // 0-99
};

PositionReport ReportOf(const StatusFields& fields);

// "*hh\r\n" appended to "$" + body: the whole sentence.
std::string Framed(std::string_view body);
// XOR of the bytes between "$" and "*".
std::uint8_t Checksum(std::string_view body);

std::string Gga(const PositionReport& r);
std::string Rmc(const PositionReport& r);
std::string Vtg(const PositionReport& r);

// GGA, RMC and VTG of one "$STP" (99 bytes, sum already checked), in that order.
std::string SentencesOf(const std::uint8_t* statusSentence);

}  // namespace apdesk::nmea

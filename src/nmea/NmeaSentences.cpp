#include "nmea/NmeaSentences.h"

#include <cmath>
#include <cstdio>

namespace apdesk::nmea {

namespace {

bool TimeValid(const StatusFields& f) {
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > kDays[f.month - 1]) return false;
  return f.hour >= 0 && f.hour < 24 && f.minute >= 0 && f.minute < 60 && f.second >= 0 && f.second <= 60;
}

// "ddmm.mmmmmm,N" or "dddmm.mmmmmm,E": rounded in whole millionths of a
// minute first, so 59.9999999' becomes the next degree and not 60.000000'.
std::string Coordinate(double degrees, int degreeDigits, char positive, char negative) {
  const long long micro = std::llround(std::fabs(degrees) * 60e6);
  const long long perDegree = 60'000'000;
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%06lld,%c", degreeDigits, micro / perDegree,
                micro % perDegree / 1'000'000, micro % 1'000'000, degrees < 0 ? negative : positive);
  return text;
}

std::string Time(const PositionReport& r) {
  if (!r.timeValid) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d.00", r.hour, r.minute, r.second);
  return text;
}

std::string Date(const PositionReport& r) {
  if (!r.timeValid) return "";
  char text[16];
  std::snprintf(text, sizeof text, "%02d%02d%02d", r.day, r.month, r.year % 100);
  return text;
}

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// One decimal, and a course that rounds up to 360.0 is 0.0.
std::string Course(double degrees) {
  const double rounded = std::round(degrees * 10.0) / 10.0;
  return Fixed(rounded >= 360.0 ? 0.0 : rounded, 1);
}

}  // namespace

PositionReport ReportOf(const StatusFields& f) {
  PositionReport r;
  r.timeValid = TimeValid(f);
  if (r.timeValid) {
    r.year = f.year;
    r.month = f.month;
    r.day = f.day;
    r.hour = f.hour;
    r.minute = f.minute;
    r.second = f.second;
  }
  r.satellites = f.satellites > 99 ? 99 : f.satellites;
  const double lat = f.latitude;
  const double lon = f.longitude;
  const bool placed = std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90.0 &&
                      std::fabs(lon) <= 180.0 && !(lat == 0.0 && lon == 0.0);
  r.fix = placed && f.satellites >= kMinFixSatellites;
  if (!r.fix) return r;
  r.latitude = lat;
  r.longitude = lon;
  r.altitude = f.AltitudeShown();
  r.speedKnots =
      std::hypot(static_cast<double>(f.velocityX), static_cast<double>(f.velocityY)) * kKnotsPerCmPerS;
  const double course = std::isfinite(f.courseRadians) ? std::fmod(f.CourseDegrees(), 360.0) : 0.0;
  r.courseDegrees = course < 0 ? course + 360.0 : course;
  return r;
}

std::uint8_t Checksum(std::string_view body) {
  std::uint8_t x = 0;
  for (const char c : body) x ^= static_cast<std::uint8_t>(c);
  return x;
}

std::string Framed(std::string_view body) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::uint8_t sum = Checksum(body);
  std::string s;
  s.reserve(body.size() + 6);
  s += '$';
  s += body;
  s += '*';
  s += kHex[sum >> 4];
  s += kHex[sum & 0xF];
  s += "\r\n";
  return s;
}

std::string Gga(const PositionReport& r) {
  char sats[8];
  std::snprintf(sats, sizeof sats, "%02d", r.satellites);
  std::string body = "GPGGA," + Time(r) + ",";
  if (r.fix) {
    body += Coordinate(r.latitude, 2, 'N', 'S') + "," + Coordinate(r.longitude, 3, 'E', 'W') + ",1," + sats +
            ",," + Fixed(r.altitude, 1) + ",M,,M,,";
  } else {
    body += ",,,,0," + std::string(sats) + ",,,M,,M,,";
  }
  return Framed(body);
}

std::string Rmc(const PositionReport& r) {
  std::string body = "GPRMC," + Time(r) + ",";
  if (r.fix) {
    body += "A," + Coordinate(r.latitude, 2, 'N', 'S') + "," + Coordinate(r.longitude, 3, 'E', 'W') + "," +
            Fixed(r.speedKnots, 2) + "," + Course(r.courseDegrees) + "," + Date(r) + ",,,A";
  } else {
    body += "V,,,,,,," + Date(r) + ",,,N";
  }
  return Framed(body);
}

std::string Vtg(const PositionReport& r) {
  if (!r.fix) return Framed("GPVTG,,T,,M,,N,,K,N");
  return Framed("GPVTG," + Course(r.courseDegrees) + ",T,,M," + Fixed(r.speedKnots, 2) + ",N," +
                Fixed(r.speedKnots * 1.852, 2) + ",K,A");
}

std::string SentencesOf(const std::uint8_t* statusSentence) {
  const PositionReport r = ReportOf(ReadStatusFields(statusSentence));
  return Gga(r) + Rmc(r) + Vtg(r);
}

}  // namespace apdesk::nmea

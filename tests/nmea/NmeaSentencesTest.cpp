// NMEA sentences from "$STP" records, against sentences worked out by hand
// (checksums worked separately), and the listening address.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "nmea/ListenAddress.h"
#include "nmea/NmeaSentences.h"
#include "protocol/SentenceBytes.h"

namespace apdesk::nmea {
namespace {

using test::Bytes;

struct Record {
  float latitude, longitude, courseRadians;
  int satellites;
  int year, month, day, hour, minute, second;
  int altitudeTenths;  // as a 16-bit reading
  unsigned vx, vy;     // cm/s
};

Bytes StatusOf(const Record& r) {
  Bytes s = test::Status();
  test::PutFloat(s, 4, r.latitude);
  test::PutFloat(s, 8, r.longitude);
  test::PutFloat(s, 20, r.courseRadians);
  s[24] = static_cast<std::uint8_t>(r.satellites);
  const int date[] = {r.year - 2000, r.month, r.day, r.hour, r.minute, r.second};
  for (int i = 0; i < 6; ++i) s[25 + i] = static_cast<std::uint8_t>(date[i]);
  test::PutU16(s, 48, static_cast<unsigned>(r.altitudeTenths) & 0xFFFF);
  s[50] = static_cast<std::uint8_t>(r.vx >> 8);
  s[51] = static_cast<std::uint8_t>(r.vx);
  s[94] = static_cast<std::uint8_t>(r.vy >> 8);
  s[95] = static_cast<std::uint8_t>(r.vy);
  test::PutSum(s);
  return s;
}

TEST(NmeaSentences, RecordsGiveTheHandWorkedSentences) {
  struct Case {
    const char* what;
    Record record;
    std::string expected;
  } cases[] = {
      {"fix, west, 3-4-5 cm/s velocities, course pi/2",
       {22.5009765625f, -114.25f, 1.5707963f, 9, 2024, 5, 1, 8, 0, 7, 1234, 300, 400},
       "$GPGGA,080007.00,2230.058594,N,11415.000000,W,1,09,,123.4,M,,M,,*4A\r\n"
       "$GPRMC,080007.00,A,2230.058594,N,11415.000000,W,9.72,90.0,010524,,,A*42\r\n"
       "$GPVTG,90.0,T,,M,9.72,N,18.00,K,A*01\r\n"},
      {"three satellites: no fix, no position",
       {22.5009765625f, -114.25f, 1.5707963f, 3, 2024, 5, 1, 8, 0, 7, 1234, 300, 400},
       "$GPGGA,080007.00,,,,,0,03,,,M,,M,,*44\r\n"
       "$GPRMC,080007.00,V,,,,,,,010524,,,N*70\r\n"
       "$GPVTG,,T,,M,,N,,K,N*2C\r\n"},
      {"south, small east longitude, negative altitude and course, no date",
       {-33.875f, 5.5f, -1.5707963f, 12, 2000, 0, 0, 0, 0, 0, -100, 0, 0},
       "$GPGGA,,3352.500000,S,00530.000000,E,1,12,,-10.0,M,,M,,*74\r\n"
       "$GPRMC,,A,3352.500000,S,00530.000000,E,0.00,270.0,,,,A*5C\r\n"
       "$GPVTG,270.0,T,,M,0.00,N,0.00,K,A*08\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SentencesOf(StatusOf(c.record).data()), c.expected);
  }
}

TEST(NmeaSentences, ChecksumOfAPublishedSentence) {
  EXPECT_EQ(Framed("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
}

// Whatever the record holds, each sentence is framed, sums right and fits.
TEST(NmeaSentences, ExtremeRecordsStayWithinTheLimits) {
  const float nan = std::nanf("");
  const Record records[] = {
      {-89.999999f, -179.999999f, 1e30f, 255, 2255, 12, 31, 23, 59, 60, -32767, 65535, 65535},
      {nan, 10.0f, nan, 20, 2024, 2, 30, 25, 61, 99, 32767, 0, 0},
      {91.0f, 200.0f, 0.0f, 8, 2024, 13, 1, 0, 0, 0, 0, 0, 0},
      {0.0f, 0.0f, 0.0f, 8, 2024, 1, 1, 0, 0, 0, 0, 1, 1},
  };
  for (const Record& r : records) {
    const std::string all = SentencesOf(StatusOf(r).data());
    std::size_t begin = 0;
    int count = 0;
    while (begin < all.size()) {
      const std::size_t end = all.find("\r\n", begin);
      ASSERT_NE(end, std::string::npos);
      const std::string line = all.substr(begin, end + 2 - begin);
      SCOPED_TRACE(line);
      EXPECT_LE(line.size(), static_cast<std::size_t>(kMaxSentenceLength));
      ASSERT_EQ(line[0], '$');
      const std::size_t star = line.find('*');
      ASSERT_EQ(star, line.size() - 5);
      EXPECT_EQ(std::strtoul(line.substr(star + 1, 2).c_str(), nullptr, 16),
                Checksum(std::string_view(line).substr(1, star - 1)));
      EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 2);
      begin = end + 2;
      ++count;
    }
    EXPECT_EQ(count, 3);
  }
  // A NaN position, one out of range and 0,0 are no fix; an impossible date
  // leaves the time out rather than sending one that gpsd would take.
  EXPECT_NE(SentencesOf(StatusOf(records[0]).data()).find(",1,99,,-3276.7,M"), std::string::npos);
  EXPECT_EQ(Rmc(ReportOf(ReadStatusFields(StatusOf(records[1]).data()))), "$GPRMC,,V,,,,,,,,,,N*53\r\n");
  EXPECT_FALSE(ReportOf(ReadStatusFields(StatusOf(records[2]).data())).fix);
  EXPECT_FALSE(ReportOf(ReadStatusFields(StatusOf(records[3]).data())).fix);
}

TEST(ListenAddress, ParsesWhatTheOperatorTypes) {
  struct Case {
    const char* text;
    const char* host;  // nullptr: refused
    int port;
    bool loopback;
  } cases[] = {
      {"", "127.0.0.1", 10110, true},
      {"2947", "127.0.0.1", 2947, true},
      {"127.0.0.1:10111", "127.0.0.1", 10111, true},
      {"localhost:5000", "localhost", 5000, true},
      {"0.0.0.0:10110", "0.0.0.0", 10110, false},
      {"192.168.1.20:10110", "192.168.1.20", 10110, false},
      {"[::1]:10110", "::1", 10110, true},
      {"[::]:10110", "::", 10110, false},
      {"127.0.0.1", nullptr, 0, false},
      {"127.0.0.1:0", nullptr, 0, false},
      {"127.0.0.1:65536", nullptr, 0, false},
      {"256.0.0.1:10", nullptr, 0, false},
      {"example.org:10110", nullptr, 0, false},
      {"::1:10110", nullptr, 0, false},
      {"[::1]10110", nullptr, 0, false},
      {"99999", nullptr, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    const auto a = ParseListenAddress(c.text, &error);
    if (!c.host) {
      EXPECT_FALSE(a.has_value());
      EXPECT_NE(error.find(c.text), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(a.has_value()) << error;
    EXPECT_EQ(a->host, c.host);
    EXPECT_EQ(a->port, c.port);
    EXPECT_EQ(a->Loopback(), c.loopback);
  }
  EXPECT_EQ(ParseListenAddress("[::1]:7", nullptr)->Text(), "[::1]:7");
}

}  // namespace
}  // namespace apdesk::nmea

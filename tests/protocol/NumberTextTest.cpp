#include "protocol/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "protocol/SentenceBytes.h"
#include "protocol/StatusSentence.h"

namespace apdesk {
namespace {

template <typename Put>
std::string Written(Put put) {
  char buffer[kNumberTextRoom];
  return std::string(buffer, put(buffer));
}

std::string Printf(const char* format, double v) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, v);
  return buffer;
}

// The integer paths against printf on values that exercise their rounding:
// random bit patterns, exact ties, the edges of the integer range and what
// is not finite.
TEST(NumberText, WritesWhatPrintfWrites) {
  std::mt19937 rng(6);
  std::vector<float> floats = {0.0f,
                               -0.0f,
                               0.5e-6f,
                               1.5e-6f,
                               2.5e-6f,
                               -2.5e-6f,
                               22.5f,
                               -113.25f,
                               1e-7f,
                               1e7f,
                               16777216.0f,
                               3.4e38f,
                               -3.4e38f,
                               1e-40f,
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::quiet_NaN()};
  for (int i = 0; i < 100000; ++i) {
    const std::uint32_t bits = static_cast<std::uint32_t>(rng());
    float v;
    std::memcpy(&v, &bits, sizeof v);
    floats.push_back(v);
    floats.push_back(static_cast<float>(static_cast<int>(rng() % 360000000) - 180000000) / 1e6f);
  }
  for (float v : floats)
    ASSERT_EQ(Written([&](char* at) { return PutFloat6(at, v); }), Printf("%.6f", static_cast<double>(v)))
        << v;
  for (int raw = -70000; raw <= 70000; ++raw) {
    ASSERT_EQ(Written([&](char* at) { return PutVolts3(at, raw); }), Printf("%.3f", raw * 20 / 4096.0))
        << raw;
    ASSERT_EQ(Written([&](char* at) { return PutTenths(at, raw); }), Printf("%.1f", raw / 10.0)) << raw;
  }
  std::vector<double> doubles = {0.0,
                                 -0.0,
                                 -0.05,
                                 0.05,
                                 0.25,
                                 0.125,
                                 2.5,
                                 3.5,
                                 179.95,
                                 -1e300,
                                 1e-300,
                                 123456.789,
                                 9007199254740993.0,
                                 1e18,
                                 std::numeric_limits<double>::quiet_NaN(),
                                 -std::numeric_limits<double>::infinity()};
  for (int i = 0; i < 100000; ++i) {
    doubles.push_back(static_cast<double>(floats[static_cast<std::size_t>(i)]) * 180.0 / 3.14159265);
    doubles.push_back(static_cast<double>(static_cast<int>(rng() % 8000000) - 4000000) / 1000.0);
    doubles.push_back(static_cast<double>(static_cast<int>(rng() % 8000000) - 4000000) / 2048.0);
  }
  for (double v : doubles) {
    for (int precision = 0; precision <= 3; ++precision) {
      const std::string format = "%." + std::to_string(precision) + "f";
      ASSERT_EQ(Written([&](char* at) { return PutFixed(at, v, precision); }), Printf(format.c_str(), v))
          << v;
    }
    ASSERT_EQ(Written([&](char* at) { return PutFixed(at, v, 6); }), Printf("%.6f", v));
  }
  EXPECT_EQ(Written([&](char* at) { return PutInt(at, -9223372036854775807LL - 1); }),
            "-9223372036854775808");
}

// Every text of the main window and the GPS window, from random sentences,
// against printf of the fields it shows.
TEST(NumberText, StatusTextsMatchPrintfOfTheirFields) {
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    test::Bytes s = test::Status();
    for (std::size_t b = 4; b < 98; ++b) s[b] = static_cast<std::uint8_t>(rng());
    if (i % 2) s[25] = static_cast<std::uint8_t>(rng() % 30), s[26] = static_cast<std::uint8_t>(rng() % 13);
    test::PutSum(s);
    const StatusFields f = ReadStatusFields(s.data());
    const TelemetryView v = DecodeStatusSentence(s.data(), AttitudeLabels{}, false);
    ASSERT_EQ(v.latitudeText, FormatText("%.6lf", static_cast<double>(f.latitude)));
    ASSERT_EQ(v.longitudeText, FormatText("%.6lf", static_cast<double>(f.longitude)));
    ASSERT_EQ(v.altitudeText, FormatText("%.1lf", f.AltitudeShown()));
    ASSERT_EQ(v.courseText, FormatText("%.1lf", f.CourseDegrees()));
    ASSERT_EQ(v.voltageText, FormatText("%.3lf", f.Volts()));
    ASSERT_EQ(v.versionText, FormatText("%d", f.Version()));
    ASSERT_EQ(v.satellitesText, FormatText("%d", f.satellites));
    ASSERT_EQ(v.attitudeText,
              FormatText("%s %lld,%s %lld", f.attitudeLeft >= 0 ? "L" : "R",
                         std::llabs(static_cast<long long>(f.attitudeLeft)), f.attitudeUp >= 0 ? "U" : "D",
                         std::llabs(static_cast<long long>(f.attitudeUp))));
    const GpsView g = DecodeGpsFields(s.data());
    ASSERT_EQ(g.headingText, FormatText("%.1lf", static_cast<double>(static_cast<float>(f.CourseDegrees()))));
    ASSERT_EQ(g.dateTimeText,
              FormatText("%d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute, f.second));
    ASSERT_EQ(g.pdopText, FormatText("%.1lf", f.Pdop()));
    ASSERT_EQ(g.velocityXText, FormatText("%d cm/s", f.velocityX));
    ASSERT_EQ(g.velocityYText, FormatText("%d cm/s", f.velocityY));
    const StatusReading r = DecodeStatus(s.data());
    ASSERT_EQ(r.flightStatusEntry, v.flightStatusEntry);
    for (std::size_t k = 0; k < 4; ++k) ASSERT_EQ(r.sticks[k].value, v.sticks[k].value);
  }
}

}  // namespace
}  // namespace apdesk

#include "protocol/SentenceParser.h"
#include "protocol/StatusSentence.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "protocol/SentenceBytes.h"

namespace apdesk {
namespace {

using test::Bytes;

TelemetryView Decode(const Bytes& s, bool chinese = false, const AttitudeLabels& labels = {}) {
  return DecodeStatusSentence(s.data(), labels, chinese);
}

TEST(StatusSentence, SignedSixteenBitFields) {
  const struct {
    std::uint8_t lo, hi;
    const char* altitude;
    const char* volts;
  } cases[] = {
      {0x18, 0xFC, "-100.0", "-4.883"},   // 64536 -> -1000
      {0x00, 0x80, "3276.8", "160.000"},  // 32768 stays positive
      {0x01, 0x80, "-3276.7", "-159.995"}, {0xFF, 0xFF, "-0.1", "-0.005"},
      {0x00, 0x08, "204.8", "10.000"},  // raw 2048
      {0x00, 0x00, "0.0", "0.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.altitude);
    Bytes s = test::Status();
    s[48] = s[70] = c.lo;
    s[49] = s[71] = c.hi;
    const TelemetryView v = Decode(s);
    EXPECT_EQ(v.altitudeText, c.altitude);
    EXPECT_EQ(v.voltageText, c.volts);
  }
  EXPECT_EQ(SignedReading16(32768), 32768);
  EXPECT_EQ(SignedReading16(32769), -32767);
}

TEST(StatusSentence, TextsOfTheStatusFields) {
  Bytes s = test::Status();
  test::PutFloat(s, 4, 22.5f);
  test::PutFloat(s, 8, -113.25f);
  test::PutFloat(s, 20, 3.14159265f / 2);
  s[24] = 12;
  s[96] = 0x39;
  s[97] = 0x30;  // 12345
  const TelemetryView v = Decode(s);
  EXPECT_EQ(v.latitudeText, "22.500000");
  EXPECT_EQ(v.longitudeText, "-113.250000");
  EXPECT_EQ(v.courseText, "90.0");
  EXPECT_EQ(v.satellitesText, "12");
  EXPECT_EQ(v.versionText, "112345");
  EXPECT_EQ(v.fields.versionRaw, 12345);

  // Whatever floats arrive, the texts are made (no fixed-size buffer to overrun).
  test::PutFloat(s, 4, -3.0e38f);
  EXPECT_EQ(Decode(s).latitudeText.substr(0, 5), "-3000");
  EXPECT_GT(Decode(s).latitudeText.size(), 40u);
}

TEST(StatusSentence, AttitudeText) {
  const AttitudeLabels chineseLabels{"左", "右", "上", "下"};
  const struct {
    std::int32_t a, b;
    int capture;
    bool chinese;
    bool chineseLabels;
    const char* text;
  } cases[] = {
      {-5, 3, 0, false, false, "L 3,D 5"},
      {0, 0, 0, false, false, "L 0,U 0"},
      {7, -2, 0, false, false, "R 2,U 7"},
      {7, -2, 99, false, false, "R 2,U 7"},  // captured, but not Chinese: no suffix
      {7, -2, 98, true, true, "右 2,上 7"},
      {7, -2, 99, true, true, "右 2,上 7 已捕获"},
      {INT_MIN, INT_MIN, 0, false, false, "R 2147483648,D 2147483648"},
      {INT_MAX, INT_MAX, 0, false, false, "L 2147483647,U 2147483647"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Bytes s = test::Status();
    test::PutS32(s, 62, c.a);
    test::PutS32(s, 66, c.b);
    s[92] = static_cast<std::uint8_t>(c.capture);
    EXPECT_EQ(Decode(s, c.chinese, c.chineseLabels ? chineseLabels : AttitudeLabels{}).attitudeText, c.text);
  }
}

TEST(StatusSentence, FlightStatusEntry) {
  for (auto [byte, entry] : {std::pair{15, 12}, {13, 13}, {0, 0}, {12, 12}, {255, 255}}) {
    Bytes s = test::Status();
    s[75] = static_cast<std::uint8_t>(byte);
    EXPECT_EQ(Decode(s).flightStatusEntry, entry) << byte;
  }
}

TEST(StatusSentence, StickChannelsAndColours) {
  // Rudder, aileron, elevator: position minus centre, green within 1.
  const struct {
    int position, centre, value;
    std::uint32_t colour;
  } centred[] = {{129, 128, 1, kStickGreen}, {131, 128, 3, kStickRed},   {127, 128, -1, kStickGreen},
                 {126, 128, -2, kStickRed},  {128, 128, 0, kStickGreen}, {0, 255, -255, kStickRed},
                 {255, 0, 255, kStickRed}};
  const struct {
    std::size_t positionByte, centreByte;
    int channel;
  } channels[] = {{32, 80, kRudder}, {33, 81, kAileron}, {34, 82, kElevator}};
  for (const auto& ch : channels) {
    for (const auto& c : centred) {
      SCOPED_TRACE(testing::Message() << "channel " << ch.channel << " position " << c.position);
      Bytes s = test::Status();
      s[ch.positionByte] = static_cast<std::uint8_t>(c.position);
      s[ch.centreByte] = static_cast<std::uint8_t>(c.centre);
      const TelemetryView v = Decode(s);
      EXPECT_EQ(v.sticks[static_cast<std::size_t>(ch.channel)].value, c.value);
      EXPECT_EQ(v.sticks[static_cast<std::size_t>(ch.channel)].argb, c.colour);
      for (int other : {kRudder, kAileron, kElevator}) {
        if (other != ch.channel) {
          EXPECT_EQ(v.sticks[static_cast<std::size_t>(other)].value, 0);
        }
      }
    }
  }
  // Throttle: t = 200 - reading, 8 counts as 7.
  const struct {
    int reading, value;
    std::uint32_t colour;
  } throttle[] = {{192, 1, kStickYellow}, {193, 1, kStickYellow}, {200, 1, kStickYellow},
                  {255, 1, kStickYellow}, {191, 9, kStickYellow}, {190, 10, kStickYellow},
                  {189, 11, kStickRed},   {160, 40, kStickRed},   {159, 41, kStickGreen},
                  {150, 50, kStickGreen}, {143, 57, kStickGreen}, {142, 58, kStickRed},
                  {100, 100, kStickRed},  {0, 200, kStickRed}};
  for (const auto& c : throttle) {
    SCOPED_TRACE(c.reading);
    Bytes s = test::Status();
    s[35] = static_cast<std::uint8_t>(c.reading);
    const TelemetryView v = Decode(s);
    EXPECT_EQ(v.sticks[kThrottle].value, c.value);
    EXPECT_EQ(v.sticks[kThrottle].argb, c.colour);
  }
}

TEST(StatusSentence, GpsWindowTexts) {
  Bytes s = test::Status();
  test::PutFloat(s, 4, 1.5f);
  test::PutFloat(s, 8, 2.25f);
  test::PutFloat(s, 20, -3.14159265f);
  s[24] = 9;
  const std::uint8_t when[] = {24, 3, 7, 9, 5, 1};
  for (int i = 0; i < 6; ++i) s[25 + i] = when[i];
  s[50] = 0xFF;
  s[51] = 0xFE;  // high byte first
  s[55] = 15;
  s[94] = 0x01;
  s[95] = 0x02;
  const GpsView g = DecodeGpsFields(s.data());
  EXPECT_EQ(g.latitudeText, "1.500000");
  EXPECT_EQ(g.longitudeText, "2.250000");
  EXPECT_EQ(g.headingText, "-180.0");
  EXPECT_FLOAT_EQ(g.headingDegrees, -180.0f);
  EXPECT_EQ(g.satellitesText, "9");
  EXPECT_EQ(g.dateTimeText, "2024-03-07 09:05:01");
  EXPECT_EQ(g.velocityXText, "65534 cm/s");
  EXPECT_EQ(g.velocityYText, "258 cm/s");
  EXPECT_EQ(g.pdopText, "1.5");
}

TEST(GpsFields, ExtremeBytesGiveWholeTexts) {
  Bytes s(kStatusSentenceLength, 0xFF);
  test::PutFloat(s, 4, std::numeric_limits<float>::max());
  test::PutFloat(s, 8, -std::numeric_limits<float>::max());
  const GpsView g = DecodeGpsFields(s.data());  // heading bytes FF.. are a NaN
  EXPECT_EQ(g.latitudeText.substr(0, 6), "340282");
  EXPECT_EQ(g.latitudeText.substr(g.latitudeText.size() - 7), ".000000");
  EXPECT_EQ(g.longitudeText[0], '-');
  EXPECT_TRUE(std::isnan(g.headingDegrees));
  EXPECT_EQ(g.dateTimeText, "2255-255-255 255:255:255");
  EXPECT_EQ(g.pdopText, "25.5");
  EXPECT_EQ(g.velocityXText, "65535 cm/s");
  EXPECT_EQ(g.satellitesText, "255");
}

TEST(InstallErrorSentence, MessageText) {
  const Bytes s = test::InstallError(1.5f, -0.3f);
  EXPECT_EQ(FormatInstallError("Capture Installation error", s.data()),
            "Capture Installation error[1.5,-0.3]");
  EXPECT_EQ(FormatInstallError("捕获安装误差", s.data()), "捕获安装误差[1.5,-0.3]");
  const Bytes zero = test::InstallError(0.0f, 12.34f);
  EXPECT_EQ(FormatInstallError("", zero.data()), "[0.0,12.3]");
}

}  // namespace
}  // namespace apdesk

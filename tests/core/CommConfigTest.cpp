#include "core/CommConfig.h"

#include <gtest/gtest.h>

#include "core/LetterPair.h"

namespace apdesk {
namespace {

TEST(CommConfig, DefaultRecordMatchesTheTables) {
  const auto r = DefaultCommConfig();
  const std::string text = EncodeLetterPairs(r.data(), r.size());
  ASSERT_EQ(text.size(), 104u);
  EXPECT_EQ(text.substr(0, 24), "EDAAAAAABAAAAAAAMBAAAAAA");
  // Bytes as the tables give them, little-endian.
  // clang-format off
  const std::array<std::uint8_t, kCommConfigSize> expected = {
      52, 0, 0, 0, 1, 0, 0, 0,                      // size, version, reserved
      28, 0, 0, 0, 0x00, 0xC2, 0x01, 0x00,          // DCB length, 115200
      0x11, 0, 0, 0, 0, 0, 0x00, 0x08, 0x00, 0x02,  // flags, reserved, XON 2048, XOFF 512
      8, 0, 0, 0x11, 0x13, 0, 0, 0, 0, 0,           // 8N1, XON/XOFF chars, error/eof/event, reserved
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // provider fields
  // clang-format on
  EXPECT_EQ(r, expected);
}

TEST(CommConfig, DefaultDecodesTo115200EightNoneOne) {
  const LineSettings s = DecodeLineSettings(DefaultCommConfig());
  EXPECT_EQ(s.baudRate, 115200u);
  EXPECT_EQ(s.dataBits, 8);
  EXPECT_EQ(s.parity, 0);
  EXPECT_EQ(s.stopBits, 0);
  EXPECT_FALSE(s.outxCtsFlow);
  EXPECT_FALSE(s.outxDsrFlow);
  EXPECT_FALSE(s.outX);
  EXPECT_FALSE(s.inX);
  EXPECT_EQ(s.dtrControl, 1);
  EXPECT_EQ(s.rtsControl, 0);
}

TEST(CommConfig, FlagBitsDecodeWhereTheDcbKeepsThem) {
  const struct {
    std::uint32_t flags;
    bool cts, dsr, outX, inX;
    int dtr, rts;
  } cases[] = {
      {0x0004, true, false, false, false, 0, 0},
      {0x0008, false, true, false, false, 0, 0},
      {0x0020, false, false, false, false, 2, 0},
      {0x0100, false, false, true, false, 0, 0},
      {0x0200, false, false, false, true, 0, 0},
      {0x1000, false, false, false, false, 0, 1},
      {0x3000, false, false, false, false, 0, 3},
      {0x4CC3, false, false, false, false, 0, 0},  // only the neighbouring flags
  };
  for (const auto& c : cases) {
    auto r = DefaultCommConfig();
    for (int i = 0; i < 4; ++i) r[kDcbOffset + 8 + i] = static_cast<std::uint8_t>(c.flags >> (8 * i));
    const LineSettings s = DecodeLineSettings(r);
    EXPECT_EQ(s.outxCtsFlow, c.cts) << std::hex << c.flags;
    EXPECT_EQ(s.outxDsrFlow, c.dsr) << std::hex << c.flags;
    EXPECT_EQ(s.outX, c.outX) << std::hex << c.flags;
    EXPECT_EQ(s.inX, c.inX) << std::hex << c.flags;
    EXPECT_EQ(s.dtrControl, c.dtr) << std::hex << c.flags;
    EXPECT_EQ(s.rtsControl, c.rts) << std::hex << c.flags;
  }
}

TEST(CommConfig, StoredBytesOverlayOnlyTheirLength) {
  EXPECT_EQ(OverlayCommConfig(std::nullopt), DefaultCommConfig());
  EXPECT_EQ(OverlayCommConfig(std::vector<std::uint8_t>{}), DefaultCommConfig());

  // 16 bytes reach into the baud rate: 9600 there, the rest default.
  const auto defaults = DefaultCommConfig();
  std::vector<std::uint8_t> shortRecord(defaults.begin(), defaults.begin() + 16);
  shortRecord[12] = 0x80;
  shortRecord[13] = 0x25;
  shortRecord[14] = 0;
  const auto a = OverlayCommConfig(shortRecord);
  EXPECT_EQ(DecodeLineSettings(a).baudRate, 9600u);
  EXPECT_EQ(DecodeLineSettings(a).dataBits, 8);
  EXPECT_TRUE(std::equal(a.begin() + 16, a.end(), defaults.begin() + 16));

  // Past 52 bytes nothing is taken.
  std::vector<std::uint8_t> longRecord(200, 0xEE);
  const auto b = OverlayCommConfig(longRecord);
  for (std::uint8_t v : b) EXPECT_EQ(v, 0xEE);
}

TEST(CommConfig, LineFieldsComeFromTheirOwnBytes) {
  auto r = DefaultCommConfig();
  r[kDcbOffset + 18] = 7;  // data bits
  r[kDcbOffset + 19] = 2;  // even parity
  r[kDcbOffset + 20] = 2;  // two stop bits
  const LineSettings s = DecodeLineSettings(r);
  EXPECT_EQ(s.dataBits, 7);
  EXPECT_EQ(s.parity, 2);
  EXPECT_EQ(s.stopBits, 2);
  EXPECT_EQ(s.baudRate, 115200u);
}

}  // namespace
}  // namespace apdesk

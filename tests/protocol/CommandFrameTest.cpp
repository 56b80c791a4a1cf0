#include "protocol/CommandFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace apdesk {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> head) {
  std::vector<std::uint8_t> out(kCommandFrameSize, 0);
  std::size_t i = 0;
  for (int b : head) out[i++] = static_cast<std::uint8_t>(b);
  return out;
}

std::vector<std::uint8_t> V(const CommandFrame& f) {
  return {f.begin(), f.end()};
}

TEST(CommandFrame, OneCodeAndEmptyFramesByteForByte) {
  struct Case {
    std::string name;
    CommandFrame frame;
    std::vector<std::uint8_t> expected;
  } cases[] = {
      {"get parameters", BuildGetParametersFrame(), Bytes({0x24, 0x57, 0x49, 0x46, 0x49, 0x68, 0x68, 0x68})},
      {"calibrate", BuildCommandFrame(CMD_CALIBRATE_STICKS),
       Bytes({0x24, 0x57, 0x49, 0x46, 0x49, 0x75, 0x75, 0x75})},
      {"install error", BuildCommandFrame(CMD_CAPTURE_INSTALL_ERROR),
       Bytes({0x24, 0x57, 0x49, 0x46, 0x49, 0xFE, 0xFE, 0xFE})},
      {"restore defaults", BuildRestoreDefaultsFrame(), Bytes({0x24, 0x48, 0x46, 0x4D, 0x52})},
      {"compass on", BuildCompassCheckOnFrame(), Bytes({0x24, 0x43, 0x4D, 0x41, 0x47})},
      {"compass off", BuildCompassCheckOffFrame(), Bytes({0x24, 0x51, 0x4D, 0x41, 0x47})},
  };
  for (const Case& c : cases) EXPECT_EQ(V(c.frame), c.expected) << c.name;
}

TEST(CommandFrame, SetParametersCarriesBlockAndThreeSums) {
  struct Case {
    std::array<std::uint8_t, kParameterBlockSize> block;
    std::uint8_t s0, s1, s2;
  };
  std::array<std::uint8_t, kParameterBlockSize> ones, ffs, counting;
  ones.fill(0x01);
  ffs.fill(0xFF);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i * 37 + 1);
  // The counting block's sums, worked out by hand from i*37+1:
  // 0-6: 7 + 37*21 = 784 -> 0x10; 7-13: 7 + 37*70 = 2597 -> 0x25; 14-19: 6 + 37*99 = 3669 -> 0x55.
  const Case cases[] = {{ones, 0x07, 0x07, 0x06}, {ffs, 0xF9, 0xF9, 0xFA}, {counting, 0x10, 0x25, 0x55}};
  for (const Case& c : cases) {
    const CommandFrame f = BuildSetParametersFrame(c.block);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 5), "$WIFI");
    EXPECT_EQ(f[5], CMD_SET_PARAMS);
    EXPECT_EQ(f[6], CMD_SET_PARAMS);
    EXPECT_TRUE(std::equal(c.block.begin(), c.block.end(), f.begin() + 7));
    EXPECT_EQ(f[27], c.s0);
    EXPECT_EQ(f[28], c.s1);
    EXPECT_EQ(f[29], c.s2);
  }
}

}  // namespace
}  // namespace apdesk

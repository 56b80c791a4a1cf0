#include "core/LetterPair.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace apdesk {
namespace {

TEST(LetterPair, EncodesLowNibbleFirst) {
  const struct {
    std::vector<std::uint8_t> bytes;
    std::string text;
  } cases[] = {
      {{0x34}, "ED"}, {{0x00}, "AA"}, {{0xFF}, "PP"}, {{0x0F, 0xF0}, "PAAP"}, {{0x1C, 0x00, 0x01}, "MBAABA"},
      {{}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeLetterPairs(c.bytes.data(), c.bytes.size()), c.text);
    EXPECT_EQ(DecodeLetterPairs(c.text), c.bytes) << c.text;
  }
  EXPECT_EQ(EncodeLetterPairs(nullptr, 5), "");
}

TEST(LetterPair, EveryByteValueRoundTrips) {
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const std::string text = EncodeLetterPairs(all.data(), all.size());
  ASSERT_EQ(text.size(), 512u);
  for (char c : text) EXPECT_TRUE(c >= 'A' && c <= 'P') << c;
  EXPECT_EQ(DecodeLetterPairs(text), all);
}

TEST(LetterPair, OddLengthDecodesWholePairsOnly) {
  EXPECT_EQ(DecodeLetterPairs("EDB"), std::vector<std::uint8_t>{0x34});
  EXPECT_TRUE(DecodeLetterPairs("E").empty());
  // The unpaired letter must not be read: view a prefix of a longer buffer.
  const std::string buffer = "EDAAZZZZ";
  EXPECT_EQ(DecodeLetterPairs(std::string_view(buffer).substr(0, 3)), std::vector<std::uint8_t>{0x34});
}

TEST(LetterPair, LettersAreNotValidatedButWrapModulo256) {
  // 'a' - 'A' = 32; '0' - 'A' wraps below zero.
  EXPECT_EQ(DecodeLetterPairs("aA"), std::vector<std::uint8_t>{32});
  EXPECT_EQ(DecodeLetterPairs("AB"), std::vector<std::uint8_t>{16});
  EXPECT_EQ(DecodeLetterPairs("0A"), std::vector<std::uint8_t>{static_cast<std::uint8_t>('0' - 'A')});
  EXPECT_EQ(DecodeLetterPairs("\xFF\xFF"),
            std::vector<std::uint8_t>{static_cast<std::uint8_t>((0xFF - 'A') + 16 * (0xFF - 'A'))});
}

}  // namespace
}  // namespace apdesk

#include "protocol/ByteSum.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::uint8_t LoopSum(const std::uint8_t* p, std::size_t n) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += p[i];
  return static_cast<std::uint8_t>(sum);
}

// Every length up to a few vector widths past the longest sentence, at every
// alignment a vector load can meet, on random bytes and on bytes that make
// every lane wrap; then spans long enough to wrap lanes many times over.
TEST(ByteSum, MatchesThePlainLoopOnEveryLengthAndAlignment) {
  std::mt19937 rng(26);
  std::vector<std::uint8_t> random(300 + 64), high(300 + 64, 0xFF), ramp(300 + 64);
  for (auto& b : random) b = static_cast<std::uint8_t>(rng());
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i * 37 + 11);
  for (const std::vector<std::uint8_t>* bytes : {&random, &high, &ramp}) {
    for (std::size_t offset = 0; offset < 64; ++offset) {
      for (std::size_t length = 0; offset + length <= bytes->size(); ++length) {
        const std::uint8_t* p = bytes->data() + offset;
        ASSERT_EQ(apdesk::ByteSum(p, length), LoopSum(p, length))
            << "offset " << offset << " length " << length;
        ASSERT_EQ(apdesk::ByteSumPlain(p, length), LoopSum(p, length));
      }
    }
  }
  std::vector<std::uint8_t> large((1u << 20) + 77);
  for (auto& b : large) b = static_cast<std::uint8_t>(rng());
  for (std::size_t length : {std::size_t{4096}, std::size_t{65535}, large.size() - 3})
    EXPECT_EQ(apdesk::ByteSum(large.data() + 3, length), LoopSum(large.data() + 3, length)) << length;
  std::fill(large.begin(), large.end(), 0xFF);
  EXPECT_EQ(apdesk::ByteSum(large.data(), large.size()), LoopSum(large.data(), large.size()));
}

TEST(ByteSum, SumHoldsChecksTheLastByte) {
  std::vector<std::uint8_t> s(99);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i * 7);
  s.back() = LoopSum(s.data(), 98);
  EXPECT_TRUE(apdesk::SumHolds(s.data(), s.size()));
  ++s[50];
  EXPECT_FALSE(apdesk::SumHolds(s.data(), s.size()));
  EXPECT_FALSE(apdesk::SumHolds(s.data(), 0));
#if defined(__x86_64__)
  EXPECT_STREQ(apdesk::ByteSumKind(), "sse2");  // every x86-64 has it: the build must pick it
#endif
}

}  // namespace

// The inspector's bookkeeping against a stream whose contents are known.
#include "inspector/LinkStats.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "inspector/KnownStream.h"
#include "inspector/SentenceFields.h"

namespace apdesk {
namespace {

using testing::ForwardingSink;
using testing::KnownStream;
using testing::MakeKnownStream;

// Feeds the stream in 64-byte pieces, as USB reports arrive, so sentences
// straddle the pieces.
void FeedInReports(const KnownStream& k, SentenceParser& parser, LinkStats& stats, std::int64_t nowMs) {
  ForwardingSink<LinkStats> sink(stats);
  for (std::size_t at = 0; at < k.bytes.size(); at += 64) {
    parser.Append(k.bytes.data() + at, std::min<std::size_t>(64, k.bytes.size() - at));
    parser.ParseSentences(sink);
    stats.OnReport();
  }
  stats.OnCounters(parser.Counters(), nowMs);
}

TEST(LinkStats, CountsEverySentenceBadSumAndGarbageByte) {
  const KnownStream k = MakeKnownStream();
  SentenceParser parser;
  LinkStats stats;
  FeedInReports(k, parser, stats, 0);

  std::uint64_t all = 0;
  for (std::size_t i = 0; i < kTagCount; ++i) {
    const auto tag = static_cast<SentenceTag>(i);
    EXPECT_EQ(stats.Count(tag), k.sentences[i]) << InfoOf(tag).text;
    EXPECT_EQ(stats.BadSums(tag), k.badSums[i]) << InfoOf(tag).text;
    all += k.sentences[i];
  }
  EXPECT_EQ(stats.Sentences(), all);
  EXPECT_EQ(stats.AllBadSums(), 3u);
  EXPECT_EQ(stats.BytesDropped(), k.garbage);
  EXPECT_EQ(stats.BytesReceived(), k.bytes.size());
  EXPECT_EQ(stats.Reports(), (k.bytes.size() + 63) / 64);

  // The last good one of each tag the sink had bytes of; the others by count only.
  ASSERT_EQ(stats.LastSentence(SentenceTag::Stp).size(), kStatusSentenceLength);
  EXPECT_EQ(stats.LastSentence(SentenceTag::Stp)[10], 0x42);
  EXPECT_EQ(stats.LastSentence(SentenceTag::Tbs).size(), kInstallErrorSentenceLength);
  // "$PAR" reaches the sink whatever its sum: the last one is the bad one.
  ASSERT_EQ(stats.LastSentence(SentenceTag::Par).size(), kParameterSentenceLength);
  EXPECT_FALSE(SumHolds(stats.LastSentence(SentenceTag::Par).data(), kParameterSentenceLength));
  EXPECT_TRUE(stats.LastSentence(SentenceTag::Din).empty());
}

TEST(LinkStats, ResetStartsFromZeroAndANewParserIsCountedFromItsStart) {
  const KnownStream k = MakeKnownStream();
  SentenceParser parser;
  LinkStats stats;
  FeedInReports(k, parser, stats, 0);
  const std::uint64_t versionBefore = stats.Version();
  stats.Reset();
  EXPECT_GT(stats.Version(), versionBefore);
  EXPECT_EQ(stats.Sentences(), 0u);
  EXPECT_EQ(stats.BytesDropped(), 0u);
  EXPECT_EQ(stats.Reports(), 0u);
  EXPECT_TRUE(stats.LastSentence(SentenceTag::Stp).empty());

  // The same stream again: exactly its counts, not twice them.
  FeedInReports(k, parser, stats, 1000);
  EXPECT_EQ(stats.Count(SentenceTag::Stp), k.sentences[0]);
  EXPECT_EQ(stats.BytesDropped(), k.garbage);

  // A reconnection brings a new parser whose counters start low again.
  SentenceParser fresh;
  KnownStream one;
  one.Add(SentenceTag::Stp, 1);
  FeedInReports(one, fresh, stats, 2000);
  EXPECT_EQ(stats.Count(SentenceTag::Stp), 1u);
  EXPECT_EQ(stats.BytesReceived(), kStatusSentenceLength);
  EXPECT_EQ(stats.Count(SentenceTag::Din), 0u);
}

TEST(LinkStats, RatesFollowTheLastTwoSeconds) {
  LinkStats stats;
  ParserCounters c;
  const auto stp = static_cast<std::size_t>(SentenceTag::Stp);
  EXPECT_EQ(stats.Rate(SentenceTag::Stp), 0.0);
  // Three seconds at 50 a second, counters every 20 ms, one report per sentence.
  std::int64_t t = 0;
  for (; t <= 3000; t += 20) {
    c.sentences[stp] = static_cast<std::uint64_t>(t / 20);
    stats.OnReport();
    stats.OnCounters(c, t);
  }
  EXPECT_NEAR(stats.Rate(SentenceTag::Stp), 50.0, 1.0);
  EXPECT_NEAR(stats.ReportsPerSecond(), 50.0, 1.0);
  EXPECT_EQ(stats.Rate(SentenceTag::Din), 0.0);
  // Then it stops: within the window the rate falls, beyond it it is zero.
  stats.OnCounters(c, t + 1000);
  EXPECT_GT(stats.Rate(SentenceTag::Stp), 5.0);
  EXPECT_LT(stats.Rate(SentenceTag::Stp), 40.0);
  stats.OnCounters(c, t + 2500);
  EXPECT_EQ(stats.Rate(SentenceTag::Stp), 0.0);
  // A clock that goes backwards gives no negative or endless rate.
  c.sentences[stp] += 10;
  stats.OnCounters(c, 5);
  EXPECT_EQ(stats.Rate(SentenceTag::Stp), 0.0);
  stats.OnCounters(c, 505);
  EXPECT_EQ(stats.Rate(SentenceTag::Stp), 0.0);
}

TEST(LinkStats, KeepsNoMoreThanTheLongestSentence) {
  LinkStats stats;
  std::vector<std::uint8_t> big(500, 0x24);
  stats.OnSentence(SentenceTag::Mg2, big.data(), big.size());
  EXPECT_EQ(stats.LastSentence(SentenceTag::Mg2).size(), kLongestSentenceLength);
  stats.OnSentence(static_cast<SentenceTag>(kTagCount), big.data(), 4);  // no such tag: ignored
  stats.OnSentence(SentenceTag::Mg3, nullptr, 13);
  EXPECT_TRUE(stats.LastSentence(SentenceTag::Mg3).empty());
}

TEST(SentenceFields, HexAndTheFieldsOfEachKind) {
  const std::uint8_t bytes[] = {0x24, 0x00, 0xAB, 0x0F, 0xFF};
  EXPECT_EQ(HexText(bytes, 5), "24 00 AB 0F FF");
  EXPECT_EQ(HexText(bytes, 5, 2), "24 00\nAB 0F\nFF");
  EXPECT_EQ(HexText(nullptr, 3), "");

  auto value = [](const std::vector<SentenceField>& f, const std::string& name) {
    for (const SentenceField& x : f)
      if (x.name == name) return x.value;
    return std::string("(none)");
  };
  // "$STP": altitude -0.5 m (a signed reading), 9 satellites, a right sum.
  KnownStream k;
  k.Add(SentenceTag::Stp, 0);
  std::vector<std::uint8_t> stp(k.bytes);
  stp[24] = 9;
  stp[48] = 0xFB;
  stp[49] = 0xFF;  // bytes 48-49: altitude in tenths, low byte first
  stp.back() = ByteSum(stp.data(), stp.size() - 1);
  std::vector<SentenceField> f = DescribeSentence(SentenceTag::Stp, stp.data(), stp.size());
  EXPECT_EQ(value(f, "sum"), "right");
  EXPECT_EQ(value(f, "satellites"), "9");
  EXPECT_EQ(value(f, "altitude"), "-0.5 m");
  stp.back() ^= 1;
  EXPECT_EQ(value(DescribeSentence(SentenceTag::Stp, stp.data(), stp.size()), "sum"), "wrong");
  // Cut short: only its length, no field read past the end.
  f = DescribeSentence(SentenceTag::Stp, stp.data(), 20);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(value(f, "length"), "20");
  // An ignored sentence shows its payload.
  KnownStream din;
  din.Add(SentenceTag::Din, 0x5A);
  EXPECT_EQ(value(DescribeSentence(SentenceTag::Din, din.bytes.data(), din.bytes.size()), "payload"),
            "5A 5A 5A 5A 5A 5A 5A 5A 5A 5A");
  // "$TBS": the two values.
  KnownStream tbs;
  tbs.Add(SentenceTag::Tbs, 0);
  const float a = 1.5f, b = -0.25f;
  std::memcpy(tbs.bytes.data() + 4, &a, 4);
  std::memcpy(tbs.bytes.data() + 8, &b, 4);
  tbs.bytes.back() = ByteSum(tbs.bytes.data(), tbs.bytes.size() - 1);
  EXPECT_EQ(
      value(DescribeSentence(SentenceTag::Tbs, tbs.bytes.data(), tbs.bytes.size()), "installation error"),
      "1.5, -0.2");
}

}  // namespace
}  // namespace apdesk

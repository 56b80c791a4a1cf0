// apctl inspect's body over a feed that delivers a known stream.
#include "cli/InspectCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "inspector/KnownStream.h"

namespace apdesk::cli {
namespace {

// Delivers the stream in 64-byte reports, a few per step.
class StreamFeed : public InspectFeed {
 public:
  StreamFeed(std::vector<std::uint8_t> bytes, int reportsPerStep)
      : m_perStep(reportsPerStep), m_bytes(std::move(bytes)) {}
  const ParserCounters& Counters() const override { return m_parser.Counters(); }
  std::uint64_t Reports() const override { return m_reports; }
  bool Run(int ms) override {
    m_ms += ms;
    SentenceSink ignore;
    for (int i = 0; i < m_perStep && m_at < m_bytes.size(); ++i, m_at += 64) {
      m_parser.Append(m_bytes.data() + m_at, std::min<std::size_t>(64, m_bytes.size() - m_at));
      m_parser.ParseSentences(ignore);
      ++m_reports;
    }
    return true;
  }
  SentenceParser m_parser;
  int m_ms = 0;
  int m_perStep;

 private:
  std::vector<std::uint8_t> m_bytes;
  std::size_t m_at = 0;
  std::uint64_t m_reports = 0;
};

TEST(InspectCommand, CountsWhatArrivesInTheTimeGivenAsTextAndJson) {
  const testing::KnownStream k = testing::MakeKnownStream();
  const std::size_t reports = (k.bytes.size() + 63) / 64;
  // Bytes that came before the count started are not counted.
  testing::KnownStream before;
  before.Add(SentenceTag::Din, 9);
  before.Garbage("junk");
  std::vector<std::uint8_t> bytes = before.bytes;
  bytes.resize(64, 0);  // one whole report, with its trailing zeros
  bytes.insert(bytes.end(), k.bytes.begin(), k.bytes.end());

  for (bool json : {false, true}) {
    SCOPED_TRACE(json ? "json" : "text");
    StreamFeed feed(bytes, 1);
    feed.Run(0);  // the report before the count
    feed.m_perStep = 2;
    InspectOptions options;
    options.seconds = 4;
    options.json = json;
    std::ostringstream out;
    const InspectOutcome outcome = RunInspect(options, feed, out);
    EXPECT_TRUE(outcome.ranFull);
    EXPECT_DOUBLE_EQ(outcome.seconds, 4.0);
    EXPECT_EQ(feed.m_ms, 4000);
    const std::string s = out.str();
    // The stream holds 7 "$STP" (1 bad sum), 3 "$TBS" (1 bad), 3 "$DIN", over 4 s.
    ASSERT_EQ(k.sentences[static_cast<std::size_t>(SentenceTag::Stp)], 7u);
    ASSERT_EQ(k.garbage, 33u);
    if (json) {
      for (const char* part : {"\"$STP\":{\"count\":7,\"per_second\":1.750,\"bad_sums\":1}",
                               "\"$TBS\":{\"count\":3,\"per_second\":0.750,\"bad_sums\":1}",
                               "\"$DIN\":{\"count\":3,\"per_second\":0.750}", "\"bytes_dropped\":33,"})
        EXPECT_NE(s.find(part), std::string::npos) << part << "\n" << s;
      EXPECT_NE(s.find("\"reports\":" + std::to_string(reports) + ","), std::string::npos) << s;
      EXPECT_EQ(s.back(), '\n');
    } else {
      for (const char* line :
           {"$STP              7        1.8         1\n", "$TBS              3        0.8         1\n",
            "$DIN              3        0.8         -\n"})
        EXPECT_NE(s.find(line), std::string::npos) << line << s;
      EXPECT_NE(s.find("bytes received " + std::to_string(k.bytes.size()) +
                       ", dropped as garbage 33; USB reports " + std::to_string(reports)),
                std::string::npos)
          << s;
    }
  }
}

}  // namespace
}  // namespace apdesk::cli

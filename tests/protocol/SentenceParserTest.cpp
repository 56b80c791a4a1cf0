#include "protocol/SentenceParser.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

#include "protocol/SentenceBytes.h"

namespace apdesk {
namespace {

using test::Add;
using test::Bytes;
using test::Tagged;

// Logs what the parser hands out, e.g. "STP IGN:$DIN BAD:$TBS", and keeps
// copies of the sentences.
class LogSink : public SentenceSink {
 public:
  void OnStatusSentence(const std::uint8_t* s) override { Log("STP", s, kStatusSentenceLength); }
  void OnParameterSentence(const std::uint8_t* s) override { Log("PAR", s, kParameterSentenceLength); }
  void OnInstallErrorSentence(const std::uint8_t* s) override { Log("TBS", s, kInstallErrorSentenceLength); }
  void OnIgnoredSentence(SentenceTag tag) override {
    Log("IGN:" + std::string(InfoOf(tag).text), nullptr, 0);
  }
  void OnBadSum(SentenceTag tag) override { Log("BAD:" + std::string(InfoOf(tag).text), nullptr, 0); }

  std::string log;
  std::vector<Bytes> sentences;

 private:
  void Log(const std::string& what, const std::uint8_t* s, std::size_t n) {
    if (!log.empty()) log += ' ';
    log += what;
    if (s) sentences.emplace_back(s, s + n);
  }
};

Bytes Text(std::string_view t) {
  return Bytes(t.begin(), t.end());
}

Bytes QueueBytes(const SentenceParser& p) {
  return Bytes(p.Queue().Data(), p.Queue().Data() + p.Queue().Size());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& b : parts) Add(all, b);
  return all;
}

Bytes BadSum(Bytes s) {
  s.back() ^= 0x5A;
  return s;
}

TEST(SentenceParser, EdgeCases) {
  const Bytes stp = test::Status();
  struct Case {
    const char* name;
    Bytes input;
    std::string log;
    Bytes left;
  };
  const Case cases[] = {
      {"zeros then a status sentence", Cat({Bytes{0, 0}, stp}), "STP", {}},
      {"$ST alone waits", Text("$ST"), "", Text("$ST")},
      {"incomplete $STP waits", Cat({Text("$STP"), Bytes(60, 7)}), "", Cat({Text("$STP"), Bytes(60, 7)})},
      {"unknown tag dropped byte by byte", Text("$XYZ12"), "", {}},
      {"wrong sum drops the whole sentence", BadSum(stp), "BAD:$STP", {}},
      {"installation error", test::InstallError(1.5f, -0.3f), "TBS", {}},
      {"installation error, wrong sum", BadSum(test::InstallError(1.5f, -0.3f)), "BAD:$TBS", {}},
      {"parameter sentence goes on whatever its sum", BadSum(test::Parameters({})), "PAR", {}},
      {"a HID report with $DIN and zeros", Cat({Tagged("$DIN", 14), Bytes(50, 0)}), "IGN:$DIN", {}},
      {"tag-only sentences",
       Text("$DOCAP$DOYMM$DOYMA$1MIN"),
       "IGN:$DOCAP IGN:$DOYMM IGN:$DOYMA IGN:$1MIN",
       {}},
      {"$1MIN needs no sixth byte", Text("$1MIN"), "IGN:$1MIN", {}},
      {"an unknown $ waits for six bytes", Text("$XYZ1"), "", Text("$XYZ1")},
      {"a damaged sentence swallows what follows",
       Cat({Bytes(stp.begin(), stp.begin() + 40), stp}),
       "BAD:$STP",
       {}},
      {"a complete sentence right behind $PAED is parsed at once",
       Cat({Tagged("$PAED", 16), stp}),
       "IGN:$PAED STP",
       {}},
      {"and behind $QUZA", Cat({Tagged("$QUZA", 35), Tagged("$MG1", 25)}), "IGN:$QUZA IGN:$MG1", {}},
      {"an incomplete one behind $PAED waits", Cat({Tagged("$PAED", 16), Text("$Q$DIN")}), "IGN:$PAED",
       Text("$DIN")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SentenceParser p;
    LogSink sink;
    p.Append(c.input.data(), c.input.size());
    p.ParseSentences(sink);
    EXPECT_EQ(sink.log, c.log);
    EXPECT_EQ(QueueBytes(p), c.left);
  }
}

TEST(SentenceParser, EverySentenceKindWithItsLength) {
  const struct {
    const char* tag;
    std::size_t length;
  } all[] = {{"$STP", 99},  {"$DIN", 14},  {"$SETD", 31}, {"$PAED", 16}, {"$QUZA", 35}, {"$DOCAP", 6},
             {"$PAR", 45},  {"$MG2", 13},  {"$MG3", 13},  {"$MG1", 25},  {"$LIM", 16},  {"$PUR", 37},
             {"$DOYMM", 6}, {"$DOYMA", 6}, {"$1MIN", 5},  {"$TBS", 14}};
  for (const auto& s : all) {
    SCOPED_TRACE(s.tag);
    Bytes sentence = Tagged(s.tag, s.length);
    if (s.length > std::string_view(s.tag).size()) test::PutSum(sentence);
    SentenceParser p;
    LogSink sink;
    // One byte short: nothing happens; the last byte completes it.
    p.Append(sentence.data(), sentence.size() - 1);
    p.ParseSentences(sink);
    EXPECT_EQ(sink.log, "");
    EXPECT_EQ(p.Queue().Size(), sentence.size() - 1);
    p.Append(&sentence.back(), 1);
    p.ParseSentences(sink);
    EXPECT_NE(sink.log, "");
    EXPECT_EQ(p.Queue().Size(), 0u);
    for (const SentenceInfo& info : kSentenceTable) {
      EXPECT_EQ(p.Counters().sentences[static_cast<std::size_t>(info.tag)], info.text == s.tag ? 1u : 0u)
          << info.text;
    }
  }
}

TEST(SentenceParser, TakeSentenceAndTagMismatches) {
  SentenceParser p;
  const Bytes head = Cat({Text("$STQ"), Bytes(95, 1)});
  p.Append(head.data(), head.size());
  std::uint8_t dest[99] = {};
  EXPECT_EQ(p.TakeSentence("$STP", dest, 99), 1);   // long enough; one tag character differs
  EXPECT_EQ(p.TakeSentence("$SETD", dest, 31), 3);  // T/E, Q/T, 1/D
  EXPECT_EQ(p.CountTagMismatches("$STP"), 1);
  EXPECT_EQ(p.CountTagMismatches("$STQ"), 0);
  EXPECT_EQ(p.CountTagMismatches("$DOYMM"), 5);
  EXPECT_EQ(p.TakeSentence("$STQ", dest, 100), 1);  // queue shorter than the length
  EXPECT_EQ(p.Queue().Size(), 99u);
  EXPECT_EQ(p.TakeSentence("$STQ", dest, 20), 0);
  EXPECT_EQ(Bytes(dest, dest + 20), Bytes(head.begin(), head.begin() + 20));
  EXPECT_EQ(p.Queue().Size(), 79u);
  // Past the end of a short queue every position differs.
  SentenceParser q;
  q.Append(head.data(), 2);
  EXPECT_EQ(q.CountTagMismatches("$STP"), 2);
}

TEST(SentenceParser, ParseOneSentenceSteps) {
  SentenceParser p;
  LogSink sink;
  const Bytes bytes = Cat({Text("ab$XYZ12"), Tagged("$MG2", 13)});
  p.Append(bytes.data(), bytes.size());
  EXPECT_EQ(p.ParseOneSentence(sink), 1);  // "ab" dropped, then the unknown "$"
  EXPECT_EQ(QueueBytes(p), Cat({Text("XYZ12"), Tagged("$MG2", 13)}));
  EXPECT_EQ(p.ParseOneSentence(sink), 1);  // garbage up to "$", then $MG2 taken
  EXPECT_EQ(sink.log, "IGN:$MG2");
  EXPECT_EQ(p.ParseOneSentence(sink), 0);
  EXPECT_EQ(p.Counters().bytesDropped, 8u);
}

// A stream of random sentences (good and bad sums) and '$'-free garbage; the
// log the parser must produce is known from how it was built.
struct Stream {
  Bytes bytes;
  std::string log;
};

Stream RandomStream(std::mt19937& rng, int count) {
  Stream s;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int i = 0; i < count; ++i) {
    const SentenceInfo& info = kSentenceTable[static_cast<std::size_t>(pick(kTagCount))];
    Bytes sentence = Tagged(info.text, info.length);
    for (std::size_t j = info.text.size(); j < info.length; ++j) {
      sentence[j] = static_cast<std::uint8_t>(pick(256));
      if (sentence[j] == '$') sentence[j] = 0;  // a "$" inside would not be garbage-safe at its end
    }
    const bool bad = info.summed && pick(4) == 0;
    if (info.summed) {
      test::PutSum(sentence);
      if (bad) sentence.back() ^= 0x01;
    }
    std::string event;
    switch (info.tag) {
      case SentenceTag::Stp:
        event = bad ? "BAD:$STP" : "STP";
        break;
      case SentenceTag::Tbs:
        event = bad ? "BAD:$TBS" : "TBS";
        break;
      case SentenceTag::Par:
        event = "PAR";
        break;
      default:
        event = "IGN:" + std::string(info.text);
    }
    if (!s.log.empty()) s.log += ' ';
    s.log += event;
    Add(s.bytes, sentence);
    // Garbage between sentences never holds a "$".
    for (int g = pick(3) == 0 ? pick(40) : 0; g > 0; --g)
      s.bytes.push_back(static_cast<std::uint8_t>('a' + pick(20)));
  }
  return s;
}

TEST(SentenceParser, AnyCuttingGivesTheSameSentences) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 30; ++round) {
    const Stream s = RandomStream(rng, 60);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{64}, s.bytes.size()}) {
      SCOPED_TRACE(chunk);
      SentenceParser p;
      LogSink sink;
      for (std::size_t at = 0; at < s.bytes.size(); at += chunk) {
        p.Append(s.bytes.data() + at, std::min(chunk, s.bytes.size() - at));
        p.ParseSentences(sink);
        ASSERT_LT(p.Queue().Size(), kLongestSentenceLength);
      }
      // A last "$1MIN"/"$DOCAP"... is taken at once; the garbage after it goes too.
      EXPECT_EQ(sink.log, s.log);
      // The shortest sentence at the very end, fed a byte at a time, comes out
      // with its last byte, not with a byte that never follows.
      if (chunk == 1) {
        for (char c : std::string_view("$1MIN")) {
          const auto b = static_cast<std::uint8_t>(c);
          p.Append(&b, 1);
          p.ParseSentences(sink);
        }
        EXPECT_EQ(sink.log, s.log + (s.log.empty() ? "" : " ") + "IGN:$1MIN");
      }
      for (const Bytes& sentence : sink.sentences) {
        if (sentence.size() != kParameterSentenceLength) {
          unsigned sum = 0;
          for (std::size_t i = 0; i + 1 < sentence.size(); ++i) sum += sentence[i];
          EXPECT_EQ(sum & 0xFF, sentence.back());
        }
      }
    }
  }
}

// Any bytes at all: sentences with good and bad sums, '$' inside them and
// in the garbage, cut-off tags, "$PAED"/"$QUZA" runs.
Bytes HostileStream(std::mt19937& rng, int count) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  Bytes bytes;
  for (int i = 0; i < count; ++i) {
    const SentenceInfo& info = kSentenceTable[static_cast<std::size_t>(pick(kTagCount))];
    switch (pick(5)) {
      case 0:  // garbage rich in '$'
        for (int g = pick(80); g > 0; --g)
          bytes.push_back(pick(4) == 0 ? '$' : static_cast<std::uint8_t>(pick(256)));
        break;
      case 1:  // a tag cut short
        Add(bytes, Text(info.text.substr(
                       0, static_cast<std::size_t>(1 + pick(static_cast<int>(info.text.size()))))));
        break;
      default: {
        Bytes sentence = Tagged(info.text, info.length);
        for (std::size_t j = info.text.size(); j < info.length; ++j)
          sentence[j] = pick(16) == 0 ? '$' : static_cast<std::uint8_t>(pick(256));
        if (info.summed && pick(3) != 0) test::PutSum(sentence);
        Add(bytes, sentence);
      }
    }
  }
  return bytes;
}

struct ParserState {
  std::string log;
  std::vector<Bytes> sentences;
  ParserCounters counters;
  Bytes queue;
  bool operator==(const ParserState&) const = default;
};

ParserState StateOf(const SentenceParser& p, const LogSink& sink) {
  const ParserCounters& c = p.Counters();
  ParserCounters copy;
  copy.bytesAppended = c.bytesAppended;
  copy.bytesDropped = c.bytesDropped;
  copy.sentences = c.sentences;
  copy.badSums = c.badSums;
  return {sink.log, sink.sentences, copy, QueueBytes(p)};
}

bool operator==(const ParserCounters& a, const ParserCounters& b) {
  return a.bytesAppended == b.bytesAppended && a.bytesDropped == b.bytesDropped &&
         a.sentences == b.sentences && a.badSums == b.badSums;
}

// Parse cuts sentences out of the bytes it is given; Append and
// ParseSentences go through the queue. Whatever the stream and however it is
// cut, both must hand out the same sentences and leave the same counters and
// queue, also when the two ways alternate on one parser.
TEST(SentenceParser, ParseInPlaceAgreesWithTheQueueOnAnyStream) {
  std::mt19937 rng(2626);
  for (int round = 0; round < 60; ++round) {
    const Bytes stream = HostileStream(rng, 80);
    SentenceParser viaQueue, inPlace;
    LogSink queueSink, placeSink;
    const bool mixed = round % 3 == 0;
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = std::min<std::size_t>(round % 4 == 0 ? 1 : 1 + rng() % 130, stream.size() - at);
      viaQueue.Append(stream.data() + at, n);
      viaQueue.ParseSentences(queueSink);
      if (mixed && rng() % 2 == 0) {
        inPlace.Append(stream.data() + at, n);
        inPlace.ParseSentences(placeSink);
      } else {
        inPlace.Parse(stream.data() + at, n, placeSink);
      }
      at += n;
      ASSERT_TRUE(StateOf(inPlace, placeSink) == StateOf(viaQueue, queueSink))
          << "round " << round << " at " << at;
    }
    EXPECT_GT(queueSink.sentences.size(), 0u);
  }
}

// A sink that parses more bytes from inside a call (a message box's nested
// event loop): the rest of the outer bytes must still come before them.
TEST(SentenceParser, ParseKeepsTheOrderWhenASinkParsesAgain) {
  struct NestingSink : LogSink {
    SentenceParser* parser = nullptr;
    Bytes more;
    bool inPlace = false;
    int depth = 0;
    void OnInstallErrorSentence(const std::uint8_t* s) override {
      LogSink::OnInstallErrorSentence(s);
      if (depth > 0) return;
      ++depth;
      if (inPlace) {
        parser->Parse(more.data(), more.size(), *this);
      } else {
        parser->Append(more.data(), more.size());
        parser->ParseSentences(*this);
      }
      --depth;
    }
  };
  const Bytes outer = Cat(
      {Tagged("$DIN", 14), test::InstallError(1.5f, -0.3f), test::Status(), Tagged("$MG1", 25), Text("$ST")});
  const Bytes inner = Cat({Tagged("$LIM", 16), test::InstallError(2.0f, 1.0f), test::Status()});
  ParserState states[2];
  for (bool inPlace : {false, true}) {
    NestingSink sink;
    SentenceParser p;
    sink.parser = &p;
    sink.more = inner;
    sink.inPlace = inPlace;
    if (inPlace) {
      p.Parse(outer.data(), outer.size(), sink);
    } else {
      p.Append(outer.data(), outer.size());
      p.ParseSentences(sink);
    }
    states[inPlace] = StateOf(p, sink);
  }
  // The cut-off "$ST" meets the inner "$LIM" and is dropped as garbage.
  EXPECT_EQ(states[0].log, "IGN:$DIN TBS STP IGN:$MG1 IGN:$LIM TBS STP");
  EXPECT_EQ(states[0].counters.bytesDropped, 3u);
  EXPECT_TRUE(states[1] == states[0]) << states[1].log;
}

TEST(SentenceParser, QueueStaysSmallOnAStreamRichInPaddingSentences) {
  // Several "$PAED"/"$QUZA" in one feed, each followed by a known sentence:
  // waiting for more bytes after each would let the queue grow every feed.
  Bytes feed;
  for (int i = 0; i < 3; ++i) {
    Add(feed, Tagged("$PAED", 16));
    Add(feed, Text("$DOCAP"));
    Add(feed, Tagged("$QUZA", 35));
    Add(feed, Tagged("$DIN", 14));
  }
  SentenceParser p;
  LogSink sink;
  for (int i = 0; i < 200; ++i) {
    p.Append(feed.data(), feed.size());
    p.ParseSentences(sink);
    ASSERT_EQ(p.Queue().Size(), 0u) << "after feed " << i;
  }
  EXPECT_EQ(p.Counters().sentences[static_cast<std::size_t>(SentenceTag::Din)], 600u);
  EXPECT_LT(p.Queue().Capacity(), 4 * feed.size());
}

TEST(SentenceParser, ASinkMayParseAgainFromInsideACall) {
  // The installation-error box runs a nested event loop in which more reports
  // arrive and are parsed before the outer call returns.
  struct NestingSink : LogSink {
    SentenceParser* parser = nullptr;
    Bytes more;
    void OnInstallErrorSentence(const std::uint8_t* s) override {
      const Bytes before(s, s + kInstallErrorSentenceLength);
      LogSink::OnInstallErrorSentence(s);
      parser->Append(more.data(), more.size());
      parser->ParseSentences(*this);
      EXPECT_EQ(Bytes(s, s + kInstallErrorSentenceLength), before);
    }
  };
  NestingSink sink;
  SentenceParser p;
  sink.parser = &p;
  for (int i = 0; i < 50; ++i) Add(sink.more, test::Status());  // forces the queue to grow
  const Bytes first = Cat({test::InstallError(1.5f, -0.3f), Tagged("$DIN", 14)});
  p.Append(first.data(), first.size());
  p.ParseSentences(sink);
  std::string expected = "TBS IGN:$DIN";
  for (int i = 0; i < 50; ++i) expected += " STP";
  EXPECT_EQ(sink.log, expected);
  EXPECT_EQ(p.Queue().Size(), 0u);
}

TEST(RxQueue, BehavesAsAQueueAcrossCompactions) {
  std::mt19937 rng(99);
  RxQueue q;
  std::deque<std::uint8_t> model;
  std::uint8_t next = 0;
  for (int step = 0; step < 20000; ++step) {
    if (rng() % 2) {
      std::uint8_t chunk[64];
      const std::size_t n = rng() % 65;
      for (std::size_t i = 0; i < n; ++i) model.push_back(chunk[i] = next++);
      q.Append(chunk, n);
    } else if (rng() % 3 == 0) {
      const std::size_t n = rng() % 70;
      q.Drop(n);
      for (std::size_t i = 0; i < n && !model.empty(); ++i) model.pop_front();
    } else {
      const std::uint8_t target = static_cast<std::uint8_t>(rng());
      std::size_t expected = 0;
      while (expected < model.size() && model[expected] != target) ++expected;
      ASSERT_EQ(q.DropUntil(target), expected);
      model.erase(model.begin(), model.begin() + static_cast<std::ptrdiff_t>(expected));
    }
    ASSERT_EQ(q.Size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i) ASSERT_EQ(q[i], model[i]);
    // The live part never exceeds a few hundred bytes here; the storage must not creep.
    ASSERT_LT(q.Capacity(), 64u * 1024u);
  }
}

TEST(RxQueue, StorageStaysBoundedWhileNeverEmpty) {
  // The parser's usual life: a partial sentence always waits at the head.
  RxQueue q;
  std::uint8_t report[64];
  std::uint8_t next = 0;
  std::uint8_t expected = 0;
  for (int i = 0; i < 100000; ++i) {
    for (std::uint8_t& b : report) b = next++;
    q.Append(report, sizeof report);
    while (q.Size() > 100) {
      ASSERT_EQ(q[0], expected++);
      q.Drop(1);
    }
  }
  EXPECT_LT(q.Capacity(), 1024u);
}

}  // namespace
}  // namespace apdesk

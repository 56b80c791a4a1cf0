// Arbitrary bytes, cut into feeds at arbitrary points, through the sentence
// parser. Checked after every call (reads outside the queue are left to
// AddressSanitizer, which sees the queue's spare storage as poisoned):
//  - every sentence handed out is the next stretch of the stream, starts with
//    its tag and, for "$STP" and "$TBS", has a right sum;
//  - the queue is always the unparsed tail of the stream;
//  - every byte is accounted for: dropped, in a sentence, or still queued;
//  - after ParseSentences or Parse the queue holds less than the longest sentence
//    (well within "longest sentence plus the last feed").

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../FuzzFile.h"
#include "protocol/SentenceParser.h"

namespace {

using apdesk::SentenceParser;
using apdesk::SentenceTag;

class CheckingSink : public apdesk::SentenceSink {
 public:
  CheckingSink(const std::vector<std::uint8_t>& stream, const SentenceParser& parser)
      : m_stream(stream), m_parser(parser) {}

  void OnStatusSentence(const std::uint8_t* s) override { Sentence(SentenceTag::Stp, s, true); }
  void OnParameterSentence(const std::uint8_t* s) override { Sentence(SentenceTag::Par, s, false); }
  void OnInstallErrorSentence(const std::uint8_t* s) override { Sentence(SentenceTag::Tbs, s, true); }
  void OnIgnoredSentence(SentenceTag tag) override {
    FUZZ_CHECK(!apdesk::InfoOf(tag).summed);
    m_taken += apdesk::InfoOf(tag).length;
  }
  void OnBadSum(SentenceTag tag) override {
    FUZZ_CHECK(tag == SentenceTag::Stp || tag == SentenceTag::Tbs);
    m_taken += apdesk::InfoOf(tag).length;
  }

  std::size_t Taken() const { return m_taken; }

 private:
  void Sentence(SentenceTag tag, const std::uint8_t* s, bool sumMustHold) {
    const apdesk::SentenceInfo& info = apdesk::InfoOf(tag);
    FUZZ_CHECK(std::memcmp(s, info.text.data(), info.text.size()) == 0);
    if (sumMustHold) FUZZ_CHECK(apdesk::SumHolds(s, info.length));
    // The sentence ends where the unparsed bytes now begin.
    const std::size_t end = m_stream.size() - m_parser.Unparsed();
    FUZZ_CHECK(end >= info.length);
    FUZZ_CHECK(std::memcmp(s, m_stream.data() + end - info.length, info.length) == 0);
    m_taken += info.length;
  }

  const std::vector<std::uint8_t>& m_stream;
  const SentenceParser& m_parser;
  std::size_t m_taken = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  SentenceParser parser;
  std::vector<std::uint8_t> stream;
  CheckingSink sink(stream, parser);
  while (input.remaining_bytes() > 0) {
    const std::size_t cut = input.ConsumeIntegralInRange<std::size_t>(0, 130);
    // An exact-size copy, so a read past the feed is caught as well.
    const std::vector<std::uint8_t> feed = input.ConsumeBytes<std::uint8_t>(cut);
    stream.insert(stream.end(), feed.begin(), feed.end());
    const int mode = input.ConsumeIntegralInRange<int>(0, 2);
    if (mode == 2) {
      // Cut out of the feed in place; only an unfinished sentence is queued.
      parser.Parse(feed.data(), feed.size(), sink);
    } else {
      parser.Append(feed.data(), feed.size());
      if (mode == 1) {
        // One step at a time, as a caller may.
        while (parser.ParseOneSentence(sink) > 0) {
        }
      } else {
        parser.ParseSentences(sink);
      }
    }
    const apdesk::RxQueue& q = parser.Queue();
    FUZZ_CHECK(q.Size() < apdesk::kLongestSentenceLength);
    FUZZ_CHECK(q.Size() <= stream.size());
    FUZZ_CHECK(q.Size() == 0 ||
               std::memcmp(q.Data(), stream.data() + stream.size() - q.Size(), q.Size()) == 0);
    const apdesk::ParserCounters& c = parser.Counters();
    FUZZ_CHECK(c.bytesAppended == stream.size());
    FUZZ_CHECK(c.bytesDropped + sink.Taken() + q.Size() == stream.size());
  }
  return 0;
}

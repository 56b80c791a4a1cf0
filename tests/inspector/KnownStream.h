#pragma once
// A receive stream whose contents are known: so many sentences of each tag,
// some with a wrong sum, and garbage between them. Shared by the inspector's
// tests and apctl inspect's.

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/SentenceParser.h"

namespace apdesk::testing {

struct KnownStream {
  std::vector<std::uint8_t> bytes;
  std::array<std::uint64_t, kTagCount> sentences{};  // good and bad
  std::array<std::uint64_t, kTagCount> badSums{};
  std::uint64_t garbage = 0;  // bytes the parser must drop

  // One sentence of `tag`; `fill` marks its payload, a summed one gets its
  // sum (or a wrong one).
  void Add(SentenceTag tag, std::uint8_t fill, bool rightSum = true) {
    const SentenceInfo& info = InfoOf(tag);
    std::vector<std::uint8_t> s(info.length, fill);
    std::memcpy(s.data(), info.text.data(), info.text.size());
    if (info.summed)
      s.back() = static_cast<std::uint8_t>(ByteSum(s.data(), s.size() - 1) + (rightSum ? 0 : 1));
    bytes.insert(bytes.end(), s.begin(), s.end());
    ++sentences[static_cast<std::size_t>(tag)];
    if (!rightSum) ++badSums[static_cast<std::size_t>(tag)];
  }
  // Bytes that are no sentence: no "$", or a "$" with an unknown tag.
  void Garbage(const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text));
    garbage += std::strlen(text);
  }
};

// Every kind of thing the parser meets, in a fixed mix.
inline KnownStream MakeKnownStream() {
  KnownStream k;
  for (int round = 0; round < 3; ++round) {
    k.Add(SentenceTag::Stp, static_cast<std::uint8_t>(0x10 + round));
    k.Garbage("noise!");
    k.Add(SentenceTag::Din, 1);
    k.Add(SentenceTag::Mg1, 2);
    k.Add(SentenceTag::Stp, 0x20, round != 1);  // one bad sum
    k.Garbage("$XYZW");                         // a "$" of no known tag
    k.Add(SentenceTag::Par, 3, round != 2);     // one bad sum
    k.Add(SentenceTag::OneMin, 0);
    k.Add(SentenceTag::Tbs, 4, round != 0);  // one bad sum
    k.Add(SentenceTag::Paed, 5);
    k.Add(SentenceTag::Lim, 6);
  }
  k.Add(SentenceTag::Docap, 0);
  k.Add(SentenceTag::Stp, 0x42);  // the last one of its tag
  return k;
}

// Hands the parser's output on to a LinkStats-like receiver, as the receive
// path does: the sentences it has bytes of with their bytes, the others by tag.
template <typename Receiver>
class ForwardingSink : public SentenceSink {
 public:
  explicit ForwardingSink(Receiver& r) : m_r(r) {}
  void OnStatusSentence(const std::uint8_t* s) override {
    m_r.OnSentence(SentenceTag::Stp, s, kStatusSentenceLength);
  }
  void OnParameterSentence(const std::uint8_t* s) override {
    m_r.OnSentence(SentenceTag::Par, s, kParameterSentenceLength);
  }
  void OnInstallErrorSentence(const std::uint8_t* s) override {
    m_r.OnSentence(SentenceTag::Tbs, s, kInstallErrorSentenceLength);
  }

 private:
  Receiver& m_r;
};

}  // namespace apdesk::testing

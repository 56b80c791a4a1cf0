#pragma once
// The link inspector's bookkeeping: the parser's counters since the last
// reset, rates over the last two seconds, reports per second and the last
// sentence of each tag. Fed by calls; knows no transport and no window.
//
//   LinkStats stats;
//   stats.OnSentence(tag, bytes, length);   // every sentence taken out
//   stats.OnReport();                       // every USB report received
//   stats.OnCounters(parser.Counters(), nowMs);  // now and then (a few times a second)

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "protocol/SentenceParser.h"

namespace apdesk {

class LinkStats {
 public:
  // Rates are taken over this much of the recent past.
  static constexpr std::int64_t kRateWindowMs = 2000;

  // The parser's counters (they only grow) at a steady-clock time in ms.
  // Counters smaller than those already seen come from a new parser (a new
  // connection): counting then starts again from them.
  void OnCounters(const ParserCounters& counters, std::int64_t nowMs);
  // Keeps a copy of the sentence as the last of its tag (at most
  // kLongestSentenceLength bytes).
  void OnSentence(SentenceTag tag, const std::uint8_t* bytes, std::size_t length);
  void OnReport() {
    ++m_reports;
    ++m_version;
  }

  // Counts start again from zero; the last sentences are forgotten.
  void Reset();

  std::uint64_t Count(SentenceTag tag) const { return Sub(m_last.sentences, m_base.sentences, tag); }
  std::uint64_t BadSums(SentenceTag tag) const { return Sub(m_last.badSums, m_base.badSums, tag); }
  std::uint64_t BytesReceived() const { return m_last.bytesAppended - m_base.bytesAppended; }
  std::uint64_t BytesDropped() const { return m_last.bytesDropped - m_base.bytesDropped; }
  std::uint64_t Reports() const { return m_reports; }
  std::uint64_t Sentences() const;
  std::uint64_t AllBadSums() const;

  // Per second over the last kRateWindowMs (0 until two samples are apart).
  double Rate(SentenceTag tag) const;
  double ReportsPerSecond() const;

  // Empty until a sentence of the tag arrived after the last reset.
  const std::vector<std::uint8_t>& LastSentence(SentenceTag tag) const {
    return m_lastSentence[static_cast<std::size_t>(tag)];
  }

  // Grows with every change, so a window redraws only when it moved.
  std::uint64_t Version() const { return m_version; }

 private:
  struct Sample {
    std::int64_t ms = 0;
    std::array<std::uint64_t, kTagCount> sentences{};
    std::uint64_t reports = 0;
  };
  static std::uint64_t Sub(const std::array<std::uint64_t, kTagCount>& a,
                           const std::array<std::uint64_t, kTagCount>& b, SentenceTag tag) {
    const auto i = static_cast<std::size_t>(tag);
    return a[i] - b[i];
  }

  ParserCounters m_base;  // at the last reset (or the start of a new parser)
  ParserCounters m_last;  // the latest seen
  std::uint64_t m_reports = 0;
  std::deque<Sample> m_samples;  // oldest first, spanning about kRateWindowMs
  std::array<std::vector<std::uint8_t>, kTagCount> m_lastSentence;
  std::uint64_t m_version = 0;
};

}  // namespace apdesk

#include "inspector/LinkStats.h"

#include <algorithm>

namespace apdesk {

namespace {

// Closer samples than this are merged: the rate needs no more, and a caller
// that reports very often does not grow the list.
constexpr std::int64_t kSampleStepMs = 100;

bool AnyBelow(const ParserCounters& now, const ParserCounters& before) {
  if (now.bytesAppended < before.bytesAppended || now.bytesDropped < before.bytesDropped) return true;
  for (std::size_t i = 0; i < kTagCount; ++i)
    if (now.sentences[i] < before.sentences[i] || now.badSums[i] < before.badSums[i]) return true;
  return false;
}

}  // namespace

void LinkStats::OnCounters(const ParserCounters& counters, std::int64_t nowMs) {
  if (AnyBelow(counters, m_last)) {
    m_base = ParserCounters{};
    m_samples.clear();
  }
  m_last = counters;

  Sample s;
  s.ms = nowMs;
  for (std::size_t i = 0; i < kTagCount; ++i) s.sentences[i] = m_last.sentences[i] - m_base.sentences[i];
  s.reports = m_reports;
  // A clock that went backwards starts the rates afresh rather than dividing by it.
  if (!m_samples.empty() && nowMs < m_samples.back().ms) m_samples.clear();
  if (m_samples.size() >= 2 && nowMs - m_samples[m_samples.size() - 2].ms < kSampleStepMs) {
    m_samples.back() = s;
  } else {
    m_samples.push_back(s);
  }
  while (m_samples.size() > 2 && m_samples[1].ms <= nowMs - kRateWindowMs) m_samples.pop_front();
  ++m_version;
}

void LinkStats::OnSentence(SentenceTag tag, const std::uint8_t* bytes, std::size_t length) {
  const auto i = static_cast<std::size_t>(tag);
  if (i >= kTagCount || bytes == nullptr) return;
  m_lastSentence[i].assign(bytes, bytes + std::min(length, kLongestSentenceLength));
  ++m_version;
}

void LinkStats::Reset() {
  m_base = m_last;
  m_reports = 0;
  m_samples.clear();
  for (auto& s : m_lastSentence) s.clear();
  ++m_version;
}

std::uint64_t LinkStats::Sentences() const {
  std::uint64_t n = 0;
  for (std::size_t i = 0; i < kTagCount; ++i) n += m_last.sentences[i] - m_base.sentences[i];
  return n;
}

std::uint64_t LinkStats::AllBadSums() const {
  std::uint64_t n = 0;
  for (std::size_t i = 0; i < kTagCount; ++i) n += m_last.badSums[i] - m_base.badSums[i];
  return n;
}

double LinkStats::Rate(SentenceTag tag) const {
  const auto i = static_cast<std::size_t>(tag);
  if (m_samples.size() < 2 || i >= kTagCount) return 0.0;
  const Sample& a = m_samples.front();
  const Sample& b = m_samples.back();
  if (b.ms <= a.ms) return 0.0;
  return static_cast<double>(b.sentences[i] - a.sentences[i]) * 1000.0 / static_cast<double>(b.ms - a.ms);
}

double LinkStats::ReportsPerSecond() const {
  if (m_samples.size() < 2) return 0.0;
  const Sample& a = m_samples.front();
  const Sample& b = m_samples.back();
  if (b.ms <= a.ms) return 0.0;
  return static_cast<double>(b.reports - a.reports) * 1000.0 / static_cast<double>(b.ms - a.ms);
}

}  // namespace apdesk

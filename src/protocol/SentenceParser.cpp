#include "protocol/SentenceParser.h"

#include <cstring>

namespace apdesk {

const std::array<SentenceInfo, kTagCount> kSentenceTable = {{
    {SentenceTag::Stp, "$STP", kStatusSentenceLength, true},
    {SentenceTag::Din, "$DIN", 14, false},
    {SentenceTag::Setd, "$SETD", 31, false},
    {SentenceTag::Paed, "$PAED", 16, false},
    {SentenceTag::Quza, "$QUZA", 35, false},
    {SentenceTag::Docap, "$DOCAP", 6, false},
    {SentenceTag::Par, "$PAR", kParameterSentenceLength, true},
    {SentenceTag::Mg2, "$MG2", 13, false},
    {SentenceTag::Mg3, "$MG3", 13, false},
    {SentenceTag::Mg1, "$MG1", 25, false},
    {SentenceTag::Lim, "$LIM", 16, false},
    {SentenceTag::Pur, "$PUR", 37, false},
    {SentenceTag::Doymm, "$DOYMM", 6, false},
    {SentenceTag::Doyma, "$DOYMA", 6, false},
    {SentenceTag::OneMin, "$1MIN", 5, false},
    {SentenceTag::Tbs, "$TBS", kInstallErrorSentenceLength, true},
}};

const std::array<SentenceTag, kTagCount> kTagMatchOrder = {
    SentenceTag::Stp,  SentenceTag::Setd, SentenceTag::Din,    SentenceTag::Docap,
    SentenceTag::Par,  SentenceTag::Mg2,  SentenceTag::Mg3,    SentenceTag::Mg1,
    SentenceTag::Lim,  SentenceTag::Pur,  SentenceTag::Doymm,  SentenceTag::Doyma,
    SentenceTag::Paed, SentenceTag::Quza, SentenceTag::OneMin, SentenceTag::Tbs,
};

namespace {

// Bytes needed before an unknown "$" may be given up as garbage: the longest tag.
constexpr std::size_t kLongestTag = 6;

std::size_t Index(SentenceTag tag) {
  return static_cast<std::size_t>(tag);
}

}  // namespace

std::uint8_t ByteSum(const std::uint8_t* bytes, std::size_t length) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>(sum);
}

bool SumHolds(const std::uint8_t* sentence, std::size_t length) {
  return length > 0 && ByteSum(sentence, length - 1) == sentence[length - 1];
}

void SentenceParser::Append(const std::uint8_t* bytes, std::size_t length) {
  m_rxQueue.Append(bytes, length);
  m_counters.bytesAppended += length;
}

void SentenceParser::ParseSentences(SentenceSink& sink) {
  while (ParseOneSentence(sink) > 0) {
  }
}

int SentenceParser::CountTagMismatches(std::string_view tag) const {
  const std::size_t size = m_rxQueue.Size();
  int mismatches = 0;
  for (std::size_t i = 0; i < tag.size(); ++i) {
    if (i >= size || m_rxQueue[i] != static_cast<std::uint8_t>(tag[i])) ++mismatches;
  }
  return mismatches;
}

bool SentenceParser::BeginsWith(std::string_view tag) const {
  // Same answer as CountTagMismatches(tag) == 0, but stops at the first difference.
  return m_rxQueue.Size() >= tag.size() && std::memcmp(m_rxQueue.Data(), tag.data(), tag.size()) == 0;
}

int SentenceParser::TakeSentence(std::string_view tag, std::uint8_t* dest, std::size_t length) {
  if (m_rxQueue.Size() < length) return 1;
  if (BeginsWith(tag)) {
    m_rxQueue.Take(dest, length);
    return 0;
  }
  return CountTagMismatches(tag);
}

int SentenceParser::ParseOneSentence(SentenceSink& sink) {
  m_counters.bytesDropped += m_rxQueue.DropUntil('$');

  bool tookPaedOrQuza = false;
  if (!m_rxQueue.Empty()) {
    std::uint8_t sentence[kLongestSentenceLength];
    for (const SentenceInfo& info : kSentenceTable) {
      if (TakeSentence(info.text, sentence, info.length) != 0) continue;
      const std::size_t i = Index(info.tag);
      ++m_counters.sentences[i];
      const bool good = !info.summed || SumHolds(sentence, info.length);
      if (!good) ++m_counters.badSums[i];
      switch (info.tag) {
        case SentenceTag::Stp:
          if (good) {
            sink.OnStatusSentence(sentence);
          } else {
            sink.OnBadSum(info.tag);
          }
          return 1;
        case SentenceTag::Tbs:
          if (good) {
            sink.OnInstallErrorSentence(sentence);
          } else {
            sink.OnBadSum(info.tag);
          }
          return 1;
        case SentenceTag::Par:
          sink.OnParameterSentence(sentence);
          return 1;
        case SentenceTag::Paed:
        case SentenceTag::Quza:
          sink.OnIgnoredSentence(info.tag);
          tookPaedOrQuza = true;
          break;
        default:
          sink.OnIgnoredSentence(info.tag);
          return 1;
      }
      break;
    }
  }

  // After "$PAED"/"$QUZA" bytes were taken, so the caller must come back even
  // where an unmatched step would wait: a complete sentence may be next.
  const int waitResult = tookPaedOrQuza ? 1 : 0;
  if (m_rxQueue.Size() < kLongestTag) return waitResult;
  for (SentenceTag tag : kTagMatchOrder) {
    if (BeginsWith(InfoOf(tag).text)) return waitResult;
  }
  m_rxQueue.Drop(1);
  ++m_counters.bytesDropped;
  return 1;
}

}  // namespace apdesk

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
    m_waitingFor = 0;
    m_rxQueue.Take(dest, length);
    return 0;
  }
  return CountTagMismatches(tag);
}

namespace {

// The one known tag the bytes at `head` (at least `size` of them, head[0] is
// '$') begin with, or kTagCount. No tag is a prefix of another, so at most
// one matches, and the table order never decides between two. The byte after
// the '$' narrows the choice to one tag or a few.
std::size_t MatchTag(const std::uint8_t* head, std::size_t size) {
  auto is = [&](SentenceTag tag) {
    const std::string_view text = InfoOf(tag).text;
    return size >= text.size() && std::memcmp(head, text.data(), text.size()) == 0;
  };
  auto pick = [&](SentenceTag tag) { return is(tag) ? Index(tag) : kTagCount; };
  if (size < 2) return kTagCount;
  switch (head[1]) {
    case 'S':
      return is(SentenceTag::Stp) ? Index(SentenceTag::Stp) : pick(SentenceTag::Setd);
    case 'D':
      if (is(SentenceTag::Din)) return Index(SentenceTag::Din);
      if (is(SentenceTag::Docap)) return Index(SentenceTag::Docap);
      return is(SentenceTag::Doymm) ? Index(SentenceTag::Doymm) : pick(SentenceTag::Doyma);
    case 'P':
      if (is(SentenceTag::Par)) return Index(SentenceTag::Par);
      return is(SentenceTag::Paed) ? Index(SentenceTag::Paed) : pick(SentenceTag::Pur);
    case 'Q':
      return pick(SentenceTag::Quza);
    case 'M':
      if (is(SentenceTag::Mg1)) return Index(SentenceTag::Mg1);
      return is(SentenceTag::Mg2) ? Index(SentenceTag::Mg2) : pick(SentenceTag::Mg3);
    case 'L':
      return pick(SentenceTag::Lim);
    case '1':
      return pick(SentenceTag::OneMin);
    case 'T':
      return pick(SentenceTag::Tbs);
    default:
      return kTagCount;
  }
}

}  // namespace

int SentenceParser::ParseOneSentence(SentenceSink& sink) {
  // Still waiting for the rest of the same sentence: only bytes were added
  // behind it, so the answer is the same (the serial path asks once a byte).
  if (m_rxQueue.Size() < m_waitingFor) return 0;
  m_waitingFor = 0;
  m_counters.bytesDropped += m_rxQueue.DropUntil('$');

  bool tookPaedOrQuza = false;
  std::size_t size = m_rxQueue.Size();
  std::size_t match = MatchTag(m_rxQueue.Data(), size);
  if (match < kTagCount && size >= kSentenceTable[match].length) {
    const SentenceInfo& info = kSentenceTable[match];
    std::uint8_t sentence[kLongestSentenceLength];
    m_rxQueue.Take(sentence, info.length);
    ++m_counters.sentences[match];
    const bool good = !info.summed || SumHolds(sentence, info.length);
    if (!good) ++m_counters.badSums[match];
    sink.OnSentence(info.tag, sentence, info.length, good);
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
        size = m_rxQueue.Size();
        match = MatchTag(m_rxQueue.Data(), size);
        break;
      default:
        sink.OnIgnoredSentence(info.tag);
        return 1;
    }
  }

  // After "$PAED"/"$QUZA" bytes were taken, so the caller must come back even
  // where an unmatched step would wait: a complete sentence may be next.
  if (tookPaedOrQuza) {
    if (size < kLongestTag || match < kTagCount) return 1;
  } else if (size < kLongestTag) {
    // A partial tag may complete a five-byte sentence with the next byte.
    m_waitingFor = match < kTagCount ? kSentenceTable[match].length : size + 1;
    return 0;
  } else if (match < kTagCount) {
    // Six bytes hold every tag whole: a match here is the start of a sentence.
    m_waitingFor = kSentenceTable[match].length;
    return 0;
  }
  m_rxQueue.Drop(1);
  ++m_counters.bytesDropped;
  return 1;
}

}  // namespace apdesk

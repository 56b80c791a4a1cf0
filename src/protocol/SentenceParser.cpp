#include "protocol/SentenceParser.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The bytes that follow '$' in some known tag (made after the table above:
// the same file, so in that order).
const std::array<bool, 256> kTagSecondByte = [] {
  std::array<bool, 256> table{};
  for (const SentenceInfo& info : kSentenceTable) table[static_cast<std::uint8_t>(info.text[1])] = true;
  return table;
}();

// True when the '$' at p[k] may begin a sentence: it is too near the end to
// tell yet, or the byte after it follows '$' in some tag. Any other '$' is
// one that the parser would drop as a byte of garbage.
inline bool Candidate(const std::uint8_t* p, std::size_t k, std::size_t size) {
  return size - k < kLongestTag || kTagSecondByte[p[k + 1]];
}

// Index of the first '$' that may begin a sentence, or `size` when there is
// none; everything before it is garbage. Deliveries are short (a 64-byte
// report, a serial read), where a call to memchr costs more than the search,
// and a stray '$' in garbage is passed over here without a step of its own.
// Inlined into both callers: the call would cost as much as the search.
[[gnu::always_inline]] inline std::size_t FindCandidate(const std::uint8_t* p, std::size_t size) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i dollar = _mm_set1_epi8('$');
  auto equal = [&](std::size_t k) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)), dollar);
  };
  auto hitsAt = [&](std::size_t k) { return static_cast<unsigned>(_mm_movemask_epi8(equal(k))); };
  // The first candidate among the hits (bit j: a '$' at base + j).
  auto first = [&](std::size_t base, unsigned hits) {
    for (; hits != 0; hits &= hits - 1) {
      const std::size_t k = base + static_cast<std::size_t>(__builtin_ctz(hits));
      if (Candidate(p, k, size)) return k;
    }
    return size;
  };
  for (; i + 64 <= size; i += 64) {
    // One test for 64 bytes: most hold no '$' at all.
    const __m128i a = equal(i), b = equal(i + 16), c = equal(i + 32), d = equal(i + 48);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) continue;
    auto mask = [](__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); };
    const std::size_t low = first(i, mask(a) | mask(b) << 16);
    if (low != size) return low;
    const std::size_t high = first(i + 32, mask(c) | mask(d) << 16);
    if (high != size) return high;
  }
  if (i == size) return size;  // a whole report: the usual delivery
  for (; i + 16 <= size; i += 16) {
    const std::size_t k = first(i, hitsAt(i));
    if (k != size) return k;
  }
  // The last few bytes: one load that ends with them, the bytes already
  // looked at masked off.
  if (i < size && size >= 16) return first(i, hitsAt(size - 16) >> (i - (size - 16)));
#endif
  for (; i < size; ++i)
    if (p[i] == '$' && Candidate(p, i, size)) return i;
  return size;
}

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

void SentenceParser::Append(const std::uint8_t* bytes, std::size_t length) {
  if (m_spanLeft > 0) SpillSpan();  // from inside a sink, during Parse
  m_rxQueue.Append(bytes, length);
  m_counters.bytesAppended += length;
}

void SentenceParser::SpillSpan() {
  m_rxQueue.Append(m_span, m_spanLeft);
  m_span += m_spanLeft;
  m_spanLeft = 0;
}

void SentenceParser::ParseInPlace(const std::uint8_t* bytes, std::size_t length, SentenceSink& sink) {
  // Nothing waits and nothing is begun: what comes before the first '$' that
  // may begin a sentence is garbage, and most garbage and padding holds none. A leaf
  // function for that, so the common case costs little more than the search.
  if (m_spanLeft == 0 && m_rxQueue.Empty()) {
    const std::size_t skip = FindCandidate(bytes, length);
    m_counters.bytesAppended += skip;
    m_counters.bytesDropped += skip;
    if (skip == length) return;
    bytes += skip;
    length -= skip;
  }
  ParseSpan(bytes, length, sink);
}

void SentenceParser::ParseSpan(const std::uint8_t* bytes, std::size_t length, SentenceSink& sink) {
  if (m_spanLeft > 0) {
    // From inside a sink during an outer Parse: its rest comes first. The
    // queue's state is not known any more.
    SpillSpan();
    m_waitingFor = 0;
  }
  m_counters.bytesAppended += length;
  m_span = bytes;
  m_spanLeft = length;
  for (;;) {
    if (m_rxQueue.Empty()) {
      if (m_spanLeft == 0) return;
      if (StepInSpan(sink)) continue;
      if (m_spanLeft > 0) SpillSpan();
      return;
    }
    // A sentence begun earlier: top the queue up with just the bytes it
    // waits for, so what follows it can be cut out in place. A tag not yet
    // whole waits a byte at a time, but six bytes decide every tag: those
    // are taken at once (a sentence is cut out of the queue the same).
    const std::size_t size = m_rxQueue.Size();
    if (m_waitingFor > size && m_spanLeft > 0) {
      const std::size_t wanted = size < kLongestTag ? std::max(m_waitingFor, kLongestTag) : m_waitingFor;
      const std::size_t n = std::min(wanted - size, m_spanLeft);
      m_rxQueue.Append(m_span, n);
      m_span += n;
      m_spanLeft -= n;
    }
    ParseSentences(sink);
    if (m_spanLeft == 0) return;
  }
}

// Same decisions as ParseOneSentence, on Parse's bytes while the queue is
// empty. The step behind "$PAED"/"$QUZA" needs no rule of its own here: the
// loop simply goes on, and taking or dropping the same bytes on the next
// step counts the same.
bool SentenceParser::StepInSpan(SentenceSink& sink) {
  // A '$' that begins no known tag is dropped here and the search goes on,
  // without a round through the caller's loop for each.
  for (;;) {
    const std::size_t skip = FindCandidate(m_span, m_spanLeft);
    m_counters.bytesDropped += skip;
    m_span += skip;
    m_spanLeft -= skip;
    if (m_spanLeft == 0) return false;
    const std::size_t size = m_spanLeft;
    const std::size_t match = MatchTag(m_span, size);
    if (match < kTagCount && size >= kSentenceTable[match].length) {
      const std::uint8_t* sentence = m_span;
      m_span += kSentenceTable[match].length;
      m_spanLeft -= kSentenceTable[match].length;
      Deliver(match, sentence, sink);
      return true;
    }
    if (size < kLongestTag) {
      m_waitingFor = match < kTagCount ? kSentenceTable[match].length : size + 1;
      return false;
    }
    if (match < kTagCount) {
      m_waitingFor = kSentenceTable[match].length;
      return false;
    }
    ++m_span;
    --m_spanLeft;
    ++m_counters.bytesDropped;
  }
}

void SentenceParser::Deliver(std::size_t match, const std::uint8_t* sentence, SentenceSink& sink) {
  const SentenceInfo& info = kSentenceTable[match];
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
      return;
    case SentenceTag::Tbs:
      if (good) {
        sink.OnInstallErrorSentence(sentence);
      } else {
        sink.OnBadSum(info.tag);
      }
      return;
    case SentenceTag::Par:
      sink.OnParameterSentence(sentence);
      return;
    default:
      sink.OnIgnoredSentence(info.tag);
      return;
  }
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
    // A copy: a sink may append (and so move the queue's storage) in its call.
    std::uint8_t sentence[kLongestSentenceLength];
    m_rxQueue.Take(sentence, info.length);
    Deliver(match, sentence, sink);
    if (info.tag != SentenceTag::Paed && info.tag != SentenceTag::Quza) return 1;
    tookPaedOrQuza = true;
    size = m_rxQueue.Size();
    match = MatchTag(m_rxQueue.Data(), size);
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

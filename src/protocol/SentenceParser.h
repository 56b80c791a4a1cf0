#pragma once
// The controller's inbound sentences and the parser that cuts them out of the
// receive queue.
//
// A sentence is a fixed-length binary record that starts with a "$" tag; the
// tag alone fixes its length. There is no terminator and no length field.
// "$STP", "$PAR" and "$TBS" end with a one-byte sum of all bytes before it
// (unsigned, modulo 256); the others carry no check and are taken out and
// ignored. The parser never answers anything.
//
// Typical use (the main window, apctl, the benchmarks):
//
//   SentenceParser parser;                    // one per window, lives as long as it
//   parser.Parse(report, 64, mySink);         // whatever a transport delivered
//
// Parse hands out the sentences that lie whole in the bytes given straight
// from them, without copying; only a sentence cut by the end of one delivery
// waits in the receive queue for the rest. Append and ParseSentences do the
// same in two steps through the queue.
//
// Everything here is single-threaded: call it from the thread that owns it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/ByteSum.h"
#include "protocol/RxQueue.h"

namespace apdesk {

inline constexpr std::size_t kStatusSentenceLength = 99;        // "$STP"
inline constexpr std::size_t kParameterSentenceLength = 45;     // "$PAR"
inline constexpr std::size_t kInstallErrorSentenceLength = 14;  // "$TBS"
inline constexpr std::size_t kLongestSentenceLength = 99;
inline constexpr std::size_t kTagCount = 16;

// The known sentences, in the order in which ParseOneSentence tries to take
// them out of the queue.
enum class SentenceTag : std::uint8_t {
  Stp,     // "$STP"   99, summed: telemetry
  Din,     // "$DIN"   14
  Setd,    // "$SETD"  31
  Paed,    // "$PAED"  16 (see ParseOneSentence)
  Quza,    // "$QUZA"  35 (see ParseOneSentence)
  Docap,   // "$DOCAP"  6, tag alone
  Par,     // "$PAR"   45, summed (checked by the parameter codec)
  Mg2,     // "$MG2"   13
  Mg3,     // "$MG3"   13
  Mg1,     // "$MG1"   25
  Lim,     // "$LIM"   16
  Pur,     // "$PUR"   37
  Doymm,   // "$DOYMM"  6, tag alone
  Doyma,   // "$DOYMA"  6, tag alone
  OneMin,  // "$1MIN"   5, tag alone
  Tbs,     // "$TBS"   14, summed: installation error
};

struct SentenceInfo {
  SentenceTag tag;
  std::string_view text;  // "$STP" ...
  std::size_t length;     // whole sentence, tag included
  bool summed;            // last byte is the sum of the bytes before it
};

// Indexed by SentenceTag: the order in which complete sentences are taken.
extern const std::array<SentenceInfo, kTagCount> kSentenceTable;

inline const SentenceInfo& InfoOf(SentenceTag tag) {
  return kSentenceTable[static_cast<std::size_t>(tag)];
}

// Receives what the parser takes out of the queue. The pointers are valid only
// during the call: a receiver that keeps a sentence (the recorder, the kept
// parameter sentence) copies it. The sentence is already out of the queue, so
// a receiver may append and parse again from inside the call (a message box's
// nested event loop does).
class SentenceSink {
 public:
  virtual ~SentenceSink() = default;

  // A "$STP" sentence, kStatusSentenceLength bytes, whose sum holds.
  virtual void OnStatusSentence(const std::uint8_t* sentence) { (void)sentence; }

  // A "$PAR" sentence, kParameterSentenceLength bytes, sum NOT checked here:
  // DecodeParameterSentence checks it (the window refreshes its limit fields
  // on either outcome).
  virtual void OnParameterSentence(const std::uint8_t* sentence) { (void)sentence; }

  // A "$TBS" sentence, kInstallErrorSentenceLength bytes, whose sum holds.
  virtual void OnInstallErrorSentence(const std::uint8_t* sentence) { (void)sentence; }

  // Every sentence taken out, before the call for its kind below, with
  // whether its sum holds (always true for unsummed tags): the link
  // inspector's view of the stream.
  virtual void OnSentence(SentenceTag tag, const std::uint8_t* sentence, std::size_t length, bool good) {
    (void)tag;
    (void)sentence;
    (void)length;
    (void)good;
  }

  // Any other known sentence, taken out and ignored (statistics only).
  virtual void OnIgnoredSentence(SentenceTag tag) { (void)tag; }

  // A "$STP" or "$TBS" sentence taken out and dropped because its sum failed.
  // ("$PAR" goes to OnParameterSentence whatever its sum.)
  virtual void OnBadSum(SentenceTag tag) { (void)tag; }
};

// Counters for a monitor; they only grow.
struct ParserCounters {
  std::uint64_t bytesAppended = 0;
  std::uint64_t bytesDropped = 0;                    // garbage and "$" of unknown tags
  std::array<std::uint64_t, kTagCount> sentences{};  // taken out, by tag, good or bad
  std::array<std::uint64_t, kTagCount> badSums{};    // of those, sum failed (Stp, Par, Tbs)
};

class SentenceParser {
 public:
  SentenceParser() = default;

  // Appends received bytes (a serial read, or a whole 64-byte HID report with
  // its trailing zeros) to the receive queue. Parses nothing.
  void Append(const std::uint8_t* bytes, std::size_t length);

  // Append and ParseSentences in one: the same sentences, counters and
  // queue afterwards, but what lies whole in `bytes` is cut out in place. A
  // sink may call Parse or Append again from inside a call (the rest of the
  // outer bytes then goes to the queue first, so the order holds).
  void Parse(const std::uint8_t* bytes, std::size_t length, SentenceSink& sink) {
    // The serial path's usual call: a few more bytes of a sentence that is
    // still not complete with them.
    if (m_spanLeft == 0 && !m_rxQueue.Empty() && m_rxQueue.Size() + length < m_waitingFor) {
      m_rxQueue.Append(bytes, length);
      m_counters.bytesAppended += length;
      return;
    }
    ParseInPlace(bytes, length, sink);
  }

  // Calls ParseOneSentence until it returns 0. Afterwards the queue holds
  // fewer than 6 bytes or the beginning of one known sentence (so at most
  // kLongestSentenceLength - 1 bytes).
  void ParseSentences(SentenceSink& sink);

  // One step; returns 1 when it took or dropped bytes (call again), 0 when the
  // queue needs more bytes:
  //  1. drop bytes up to the first "$";
  //  2. take the known sentence the queue begins with, when it holds it in
  //     full and hand it to the sink ("$STP"/"$TBS" only with a right sum;
  //     a wrong sum drops the whole fixed length);
  //  3. fewer than 6 bytes queued: 0;
  //  4. the queue begins with a known tag (its sentence not yet complete): 0;
  //  5. otherwise drop the "$" and return 1.
  // After "$PAED" or "$QUZA" the step goes on at 3 (so the byte behind them
  // may be dropped at 5), but it returns 1 in every case, because it took
  // bytes: a complete sentence right behind them is parsed at once instead
  // of waiting for more bytes, which would let the queue grow without bound
  // on a stream rich in those two.
  int ParseOneSentence(SentenceSink& sink);

  // 0 when the queue holds at least `length` bytes and begins with `tag`: the
  // first `length` bytes have then been moved into `dest`. Otherwise the
  // queue is unchanged and the result is 1 when it is shorter than `length`,
  // else the number of tag characters that differ.
  int TakeSentence(std::string_view tag, std::uint8_t* dest, std::size_t length);

  // Positions i < tag length at which queue byte i differs from tag[i];
  // positions beyond the end of the queue count as differing.
  int CountTagMismatches(std::string_view tag) const;

  const RxQueue& Queue() const { return m_rxQueue; }
  // Bytes given but not yet taken or dropped: the queue, and during Parse
  // (from inside a sink) what it has still to look at.
  std::size_t Unparsed() const { return m_rxQueue.Size() + m_spanLeft; }
  const ParserCounters& Counters() const { return m_counters; }

 private:
  bool BeginsWith(std::string_view tag) const;
  void ParseInPlace(const std::uint8_t* bytes, std::size_t length, SentenceSink& sink);
  void ParseSpan(const std::uint8_t* bytes, std::size_t length, SentenceSink& sink);
  // Counts and hands out one sentence taken out (already out of the queue).
  void Deliver(std::size_t match, const std::uint8_t* sentence, SentenceSink& sink);
  // One step of ParseOneSentence on the outer bytes of Parse; false when
  // they end in the beginning of a sentence, which must wait in the queue.
  bool StepInSpan(SentenceSink& sink);
  // The rest of Parse's bytes into the queue.
  void SpillSpan();

  RxQueue m_rxQueue;
  ParserCounters m_counters;
  // Queue size below which the last step's "need more bytes" still holds
  // (0: none known); only appends happen until then.
  std::size_t m_waitingFor = 0;
  // What Parse has not yet looked at of the bytes it was given.
  const std::uint8_t* m_span = nullptr;
  std::size_t m_spanLeft = 0;
};

}  // namespace apdesk

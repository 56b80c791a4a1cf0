// Parser throughput on the streams it meets: 64-byte HID reports holding
// "$STP" and ignored sentences padded with zeros, pure garbage, and the serial
// path's one byte per call, each delivery handed to Parse as the receive path
// does. "allocs/MB" counts heap allocations while parsing (the receive
// queue's storage settles after the first reports). Then the byte sum alone,
// and the decoding of one status sentence without and with its texts.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "protocol/ByteSum.h"
#include "protocol/ParameterCodec.h"
#include "protocol/SentenceParser.h"
#include "protocol/StatusSentence.h"

#include "AllocationCounter.h"

namespace {

using apdesk::SentenceParser;
using Bytes = std::vector<std::uint8_t>;

Bytes Sentence(std::string_view tag, std::size_t length, std::mt19937& rng) {
  Bytes s(length, 0);
  std::memcpy(s.data(), tag.data(), tag.size());
  for (std::size_t i = tag.size(); i + 1 < length; ++i) {
    s[i] = static_cast<std::uint8_t>(rng());
    if (s[i] == '$') s[i] = 0;
  }
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < length; ++i) sum += s[i];
  if (length > tag.size()) s[length - 1] = static_cast<std::uint8_t>(sum);
  return s;
}

// About 1 MB of reports: each sentence is written from where the last ended,
// and the rest of a report is zeros after every second sentence, as the
// controller pads them.
Bytes RealisticReports() {
  std::mt19937 rng(7);
  Bytes stream;
  std::size_t fill = 0;
  const struct {
    const char* tag;
    std::size_t length;
  } pattern[] = {{"$STP", 99}, {"$DIN", 14}, {"$STP", 99}, {"$MG1", 25}, {"$STP", 99}, {"$SETD", 31},
                 {"$STP", 99}, {"$LIM", 16}, {"$PUR", 37}, {"$STP", 99}, {"$DOCAP", 6}};
  for (int n = 0; stream.size() < (1u << 20); ++n) {
    const auto& p = pattern[static_cast<std::size_t>(n) % std::size(pattern)];
    const Bytes s = Sentence(p.tag, p.length, rng);
    for (std::uint8_t b : s) {
      stream.push_back(b);
      fill = (fill + 1) % 64;
    }
    if (n % 2 == 1 && fill != 0) {
      stream.insert(stream.end(), 64 - fill, 0);
      fill = 0;
    }
  }
  stream.resize(stream.size() / 64 * 64);
  return stream;
}

Bytes Garbage() {
  std::mt19937 rng(11);
  Bytes stream(1u << 20);
  for (std::uint8_t& b : stream) b = static_cast<std::uint8_t>(rng());
  return stream;
}

// Stands in for the main window: takes the values a window would show and,
// like the recorder, one 99-byte heap copy per status sentence when asked to.
class BenchSink : public apdesk::SentenceSink {
 public:
  explicit BenchSink(bool record) : m_record(record) {}
  void OnStatusSentence(const std::uint8_t* s) override {
    ++statusSentences;
    if (m_record) {
      auto* copy = new std::uint8_t[apdesk::kStatusSentenceLength];
      std::memcpy(copy, s, apdesk::kStatusSentenceLength);
      benchmark::DoNotOptimize(copy);
      delete[] copy;
    }
  }
  void OnIgnoredSentence(apdesk::SentenceTag) override { ++ignored; }
  std::uint64_t statusSentences = 0;
  std::uint64_t ignored = 0;

 private:
  bool m_record;
};

void Run(benchmark::State& state, const Bytes& stream, std::size_t chunk, bool record) {
  SentenceParser parser;
  BenchSink sink(record);
  std::uint64_t allocationsAtStart = 0;
  bool first = true;
  for (auto _ : state) {
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
      parser.Parse(stream.data() + at, chunk, sink);
    }
    if (first) {
      first = false;
      allocationsAtStart = AllocationCount();
    }
  }
  const double bytes = static_cast<double>(stream.size()) * static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  const double laterBytes = bytes - static_cast<double>(stream.size());
  state.counters["allocs/MB"] =
      laterBytes > 0 ? static_cast<double>(AllocationCount() - allocationsAtStart) / (laterBytes / (1 << 20))
                     : 0;
  state.counters["stp/MB"] = static_cast<double>(sink.statusSentences) / (bytes / (1 << 20));
}

void BM_ParseReports(benchmark::State& state) {
  static const Bytes stream = RealisticReports();
  Run(state, stream, 64, false);
}
BENCHMARK(BM_ParseReports);

void BM_ParseReportsRecording(benchmark::State& state) {
  static const Bytes stream = RealisticReports();
  Run(state, stream, 64, true);
}
BENCHMARK(BM_ParseReportsRecording);

void BM_ParseGarbage(benchmark::State& state) {
  static const Bytes stream = Garbage();
  Run(state, stream, 64, false);
}
BENCHMARK(BM_ParseGarbage);

void BM_ParseSerialByteAtATime(benchmark::State& state) {
  static const Bytes stream = RealisticReports();
  Run(state, stream, 1, false);
}
BENCHMARK(BM_ParseSerialByteAtATime);

// The byte sum over one status sentence (98 bytes) and over 1 MB.
void BM_ByteSum(benchmark::State& state) {
  static const Bytes stream = Garbage();
  const std::size_t length = static_cast<std::size_t>(state.range(0));
  unsigned total = 0;
  for (auto _ : state) {
    total += apdesk::ByteSum(stream.data() + 1, length);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(length) * static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ByteSum)->Arg(98)->Arg(1 << 20);

// The fields of one status sentence, no text: what the plots, the recorder's
// readers and the record tools need.
void BM_DecodeStatus(benchmark::State& state) {
  std::mt19937 rng(3);
  const Bytes s = Sentence("$STP", 99, rng);
  for (auto _ : state) {
    apdesk::StatusReading r = apdesk::DecodeStatus(s.data());
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_DecodeStatus);

// The same with every text the main window shows.
void BM_DecodeStatusSentence(benchmark::State& state) {
  std::mt19937 rng(3);
  const Bytes s = Sentence("$STP", 99, rng);
  const apdesk::AttitudeLabels labels;
  for (auto _ : state) {
    apdesk::TelemetryView v = apdesk::DecodeStatusSentence(s.data(), labels, false);
    benchmark::DoNotOptimize(v);
  }
}
BENCHMARK(BM_DecodeStatusSentence);

void BM_DecodeAndRebuildParameters(benchmark::State& state) {
  std::mt19937 rng(5);
  const Bytes s = Sentence("$PAR", 45, rng);
  apdesk::ParameterSentence kept{};
  std::memcpy(kept.data(), s.data(), kept.size());
  for (auto _ : state) {
    const std::optional<apdesk::ParameterView> v = apdesk::DecodeParameterSentence(s.data());
    apdesk::BuildResult r = apdesk::BuildParameterBlock(apdesk::InputsFromView(*v, {}), kept, true);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(BM_DecodeAndRebuildParameters);

}  // namespace

BENCHMARK_MAIN();

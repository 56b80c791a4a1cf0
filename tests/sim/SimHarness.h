#pragma once
// Drives a SimController on a test clock and collects everything it sends.

#include <cstdint>
#include <vector>

#include "StreamDecoder.h"
#include "sim/SimController.h"

namespace simtest {

struct Harness {
  explicit Harness(const apdesk::sim::SimOptions& o) : c(o, 0), reportsMode(o.reports) {}

  void Drain() {
    std::uint8_t buf[64];
    if (reportsMode) {
      while (c.TakeReport(buf)) {
        stream.insert(stream.end(), buf, buf + 64);
        ++reports;
      }
    } else {
      std::size_t n;
      while ((n = c.TakeBytes(buf, sizeof(buf))) > 0) stream.insert(stream.end(), buf, buf + n);
    }
  }
  void RunUntil(std::int64_t untilMs, int stepMs = 10) {
    while (now < untilMs) {
      now += stepMs;
      c.Advance(now);
      Drain();
    }
  }
  void Send(const std::vector<std::uint8_t>& bytes) {
    c.Write(bytes.data(), bytes.size(), now);
    c.Advance(now);
    Drain();
  }
  // Sentences of one tag sent since the stream held `from` bytes.
  std::vector<Sentence> Sent(const char* tag, std::size_t from = 0) const {
    std::vector<Sentence> out;
    for (Sentence& s : Decode({stream.begin() + static_cast<std::ptrdiff_t>(from), stream.end()}).sentences) {
      if (s.tag == tag) out.push_back(std::move(s));
    }
    return out;
  }

  apdesk::sim::SimController c;
  bool reportsMode;
  std::int64_t now = 0;
  std::vector<std::uint8_t> stream;
  std::size_t reports = 0;
};

}  // namespace simtest

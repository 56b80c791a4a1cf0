#pragma once
// The tests' own reading of the controller's wire formats, written apart from
// both the simulator's encoder and the tool's parser so that neither can hide
// the other's mistake.

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace simtest {

struct Sentence {
  std::string tag;
  std::vector<std::uint8_t> bytes;
};

struct Decoded {
  std::vector<Sentence> sentences;
  std::size_t strayBytes = 0;  // non-zero bytes that belong to no sentence
  std::size_t tail = 0;        // bytes left at the end, an unfinished sentence
};

struct Kind {
  const char* tag;
  std::size_t length;
};
inline constexpr std::array<Kind, 16> kKinds = {{
    {"$STP", 99},
    {"$DIN", 14},
    {"$SETD", 31},
    {"$PAED", 16},
    {"$QUZA", 35},
    {"$DOCAP", 6},
    {"$PAR", 45},
    {"$MG2", 13},
    {"$MG3", 13},
    {"$MG1", 25},
    {"$LIM", 16},
    {"$PUR", 37},
    {"$DOYMM", 6},
    {"$DOYMA", 6},
    {"$1MIN", 5},
    {"$TBS", 14},
}};

inline Decoded Decode(const std::vector<std::uint8_t>& in) {
  Decoded d;
  std::size_t i = 0;
  while (i < in.size()) {
    if (in[i] != '$') {
      if (in[i] != 0) ++d.strayBytes;
      ++i;
      continue;
    }
    const Kind* match = nullptr;
    for (const Kind& k : kKinds) {
      const std::size_t n = std::strlen(k.tag);
      if (in.size() - i >= n && std::memcmp(&in[i], k.tag, n) == 0) match = &k;
    }
    if (match == nullptr) {
      ++d.strayBytes;
      ++i;
      continue;
    }
    if (in.size() - i < match->length) {
      d.tail = in.size() - i;
      break;
    }
    d.sentences.push_back(
        {match->tag, std::vector<std::uint8_t>(in.begin() + static_cast<std::ptrdiff_t>(i),
                                               in.begin() + static_cast<std::ptrdiff_t>(i + match->length))});
    i += match->length;
  }
  return d;
}

inline bool SumOk(const std::vector<std::uint8_t>& s) {
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < s.size(); ++i) sum += s[i];
  return !s.empty() && (sum & 0xFF) == s.back();
}

inline float F32(const std::vector<std::uint8_t>& s, std::size_t at) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(s[at + i]) << (8 * i);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline std::int32_t S32(const std::vector<std::uint8_t>& s, std::size_t at) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(s[at + i]) << (8 * i);
  return static_cast<std::int32_t>(u);
}
inline unsigned U16(const std::vector<std::uint8_t>& s, std::size_t at) {
  return s[at] | (s[at + 1] << 8);
}
// The tool's signed reading: above 32768 counts down from 65536.
inline int SignedReading(const std::vector<std::uint8_t>& s, std::size_t at) {
  const int v = static_cast<int>(U16(s, at));
  return v > 32768 ? v - 65536 : v;
}

// A 30-byte command frame, zero-padded to one report as an idle link sends it.
inline std::vector<std::uint8_t> Frame(const char* header, std::initializer_list<std::uint8_t> body = {}) {
  std::vector<std::uint8_t> f(30, 0);
  std::memcpy(f.data(), header, 5);
  std::size_t at = 5;
  for (std::uint8_t b : body) f[at++] = b;
  return f;
}
inline std::vector<std::uint8_t> Command(std::uint8_t code) {
  return Frame("$WIFI", {code, code, code});
}
inline std::vector<std::uint8_t> SetParameters(const std::array<std::uint8_t, 20>& block) {
  std::vector<std::uint8_t> f = Frame("$WIFI", {0x73, 0x73});
  unsigned a = 0, b = 0, c = 0;
  for (int i = 0; i < 20; ++i) {
    f[7 + i] = block[i];
    (i < 7 ? a : i < 14 ? b : c) += block[i];
  }
  f[27] = static_cast<std::uint8_t>(a);
  f[28] = static_cast<std::uint8_t>(b);
  f[29] = static_cast<std::uint8_t>(c);
  return f;
}
inline std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes) {
  bytes.resize((bytes.size() + 63) / 64 * 64, 0);
  return bytes;
}

}  // namespace simtest

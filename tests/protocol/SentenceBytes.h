#pragma once
// Small encoders for the controller's sentences, written from the wire
// layout so the tests do not lean on the code they test.

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace apdesk::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutSum(Bytes& s) {
  unsigned sum = 0;
  for (std::size_t i = 0; i + 1 < s.size(); ++i) sum += s[i];
  s.back() = static_cast<std::uint8_t>(sum & 0xFF);
}

// The tag followed by zeros up to `length`; no sum.
inline Bytes Tagged(std::string_view tag, std::size_t length) {
  Bytes s(length, 0);
  std::memcpy(s.data(), tag.data(), tag.size());
  return s;
}

inline void PutFloat(Bytes& s, std::size_t at, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

inline void PutU16(Bytes& s, std::size_t at, unsigned v) {
  s[at] = static_cast<std::uint8_t>(v);
  s[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutS32(Bytes& s, std::size_t at, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// A "$STP" with centred sticks and throttle in its green band; callers set
// fields and then call PutSum.
inline Bytes Status() {
  Bytes s = Tagged("$STP", 99);
  s[32] = s[33] = s[34] = 128;
  s[80] = s[81] = s[82] = 128;
  s[35] = 150;
  PutSum(s);
  return s;
}

inline Bytes InstallError(float first, float second) {
  Bytes s = Tagged("$TBS", 14);
  PutFloat(s, 4, first);
  PutFloat(s, 8, second);
  PutSum(s);
  return s;
}

// A "$PAR" with the tag, the given bytes at their offsets and a right sum.
inline Bytes Parameters(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
  Bytes s = Tagged("$PAR", 45);
  for (auto [at, v] : bytes) s[at] = v;
  PutSum(s);
  return s;
}

inline void Add(Bytes& stream, const Bytes& more) {
  stream.insert(stream.end(), more.begin(), more.end());
}

}  // namespace apdesk::test

#pragma once
// The 8-bit sum that guards the controller's sentences, the flight records
// and the upgrade reports: all bytes added as unsigned values, modulo 256.
// One routine for all of them, vectorised where the target has it: SSE2 on
// x86-64, NEON on ARM, a plain loop elsewhere (chosen when compiling).

#include <cstddef>
#include <cstdint>

namespace apdesk {

// Sum of `length` bytes as unsigned 8-bit values, modulo 256. Any alignment.
std::uint8_t ByteSum(const std::uint8_t* bytes, std::size_t length);

// The same by the plain loop: the reference the vectorised one is checked
// against, and what an unusual target gets.
std::uint8_t ByteSumPlain(const std::uint8_t* bytes, std::size_t length);

// True when the last byte of the `length` bytes is the sum of those before it.
inline bool SumHolds(const std::uint8_t* sentence, std::size_t length) {
  return length > 0 && ByteSum(sentence, length - 1) == sentence[length - 1];
}

// Which routine this build chose: "sse2", "neon" or "plain".
const char* ByteSumKind();

}  // namespace apdesk

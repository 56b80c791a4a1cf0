#pragma once
// Numbers as text exactly as printf gives them in the C locale, written into
// a caller's buffer without allocating: the telemetry fields in integer
// arithmetic (a float's "%.6f", tenths, the voltage), anything else through
// std::to_chars. Each returns the end of what it wrote.

#include <cstddef>
#include <cstdint>

namespace apdesk {

// Room enough for any of them: the longest double in fixed notation.
inline constexpr std::size_t kNumberTextRoom = 400;

// "%lld"
char* PutInt(char* at, long long v);
// "%.<precision>f"
char* PutFixed(char* at, double v, int precision);
// "%.6f" of a float (latitude, longitude): its exact value rounded to
// nearest, ties to even.
char* PutFloat6(char* at, float v);
// "%.1f" of tenths / 10.
char* PutTenths(char* at, long long tenths);
// "%.3f" of raw * 20 / 4096 (the voltage reading).
char* PutVolts3(char* at, int raw);

}  // namespace apdesk

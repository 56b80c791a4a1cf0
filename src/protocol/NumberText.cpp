#include "protocol/NumberText.h"

#include <charconv>
#include <cstring>

namespace apdesk {

namespace {

// q / unit, a point and `digits` digits of q % unit.
char* PutDecimals(char* at, std::uint64_t q, std::uint64_t unit, int digits) {
  at = std::to_chars(at, at + 24, q / unit).ptr;
  *at++ = '.';
  std::uint64_t f = q % unit;
  for (int i = digits - 1; i >= 0; --i) {
    at[i] = static_cast<char>('0' + f % 10);
    f /= 10;
  }
  return at + digits;
}

}  // namespace

char* PutInt(char* at, long long v) {
  return std::to_chars(at, at + 24, v).ptr;
}

char* PutFixed(char* at, double v, int precision) {
  // Up to three decimals of a double in the usual range: v = mantissa / 2^shift
  // exactly, and mantissa * 10^precision still fits 64 bits, so the rounding
  // (to nearest, ties to even, on the exact value) is done in integers.
  static constexpr std::uint64_t kUnits[] = {1, 10, 100, 1000};
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  const int shift = 1075 - biased;
  if (precision < 0 || precision > 3 || biased == 0 || biased == 0x7FF || shift <= 0 || shift > 63)
    return std::to_chars(at, at + kNumberTextRoom, v, std::chars_format::fixed, precision).ptr;
  const std::uint64_t unit = kUnits[precision];
  const std::uint64_t scaled = ((bits & 0xFFFFFFFFFFFFFull) | (std::uint64_t{1} << 52)) * unit;  // < 2^63
  std::uint64_t q = scaled >> shift;
  const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1),
                      half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  if (bits >> 63) *at++ = '-';
  if (precision == 0) return std::to_chars(at, at + 24, q).ptr;
  return PutDecimals(at, q, unit, precision);
}

char* PutFloat6(char* at, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const int biased = static_cast<int>(bits >> 23 & 0xFF);
  const int shift = 150 - biased;  // v = mantissa / 2^shift
  // The usual range in integers; to_chars takes the rest (tiny, huge, not finite).
  if (biased == 0 || biased == 0xFF || shift <= 0 || shift > 40)
    return PutFixed(at, static_cast<double>(v), 6);
  const std::uint64_t scaled = (std::uint64_t{bits & 0x7FFFFF} | 0x800000) * 1000000;  // < 2^44
  std::uint64_t q = scaled >> shift;
  const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1),
                      half = std::uint64_t{1} << (shift - 1);
  if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  if (bits >> 31) *at++ = '-';
  return PutDecimals(at, q, 1000000, 6);
}

char* PutTenths(char* at, long long tenths) {
  std::uint64_t t = static_cast<std::uint64_t>(tenths);
  if (tenths < 0) {
    *at++ = '-';
    t = ~t + 1;
  }
  at = std::to_chars(at, at + 24, t / 10).ptr;
  *at++ = '.';
  *at++ = static_cast<char>('0' + t % 10);
  return at;
}

char* PutVolts3(char* at, int raw) {
  const std::uint64_t scaled =
      static_cast<std::uint64_t>(raw < 0 ? -static_cast<long long>(raw) : raw) * 5000;
  std::uint64_t q = scaled / 1024;
  const std::uint64_t rest = scaled % 1024;
  if (rest > 512 || (rest == 512 && (q & 1) != 0)) ++q;
  if (raw < 0) *at++ = '-';
  return PutDecimals(at, q, 1000, 3);
}

}  // namespace apdesk

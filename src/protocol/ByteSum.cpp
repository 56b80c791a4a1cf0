#include "protocol/ByteSum.h"

#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define APDESK_BYTESUM_SSE2 1
#elif defined(__ARM_NEON) && defined(__aarch64__)
#include <arm_neon.h>
#define APDESK_BYTESUM_NEON 1
#endif

namespace apdesk {

std::uint8_t ByteSumPlain(const std::uint8_t* bytes, std::size_t length) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>(sum);
}

// Only the sum modulo 256 is wanted, so the vectors add byte lanes with
// wrap-around (one instruction per 16 bytes) and fold the lanes at the end.

#if defined(APDESK_BYTESUM_SSE2)

namespace {

// The 16 byte lanes summed (modulo 256).
unsigned FoldLanes(__m128i lanes) {
  const __m128i halves = _mm_sad_epu8(lanes, _mm_setzero_si128());  // two 64-bit sums of 8 bytes
  return static_cast<unsigned>(_mm_cvtsi128_si32(halves) + _mm_cvtsi128_si32(_mm_srli_si128(halves, 8)));
}

}  // namespace

std::uint8_t ByteSum(const std::uint8_t* p, std::size_t length) {
  __m128i a = _mm_setzero_si128(), b = _mm_setzero_si128();
  // Two accumulators keep two loads in flight on long spans.
  while (length >= 32) {
    a = _mm_add_epi8(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    b = _mm_add_epi8(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)));
    p += 32;
    length -= 32;
  }
  if (length >= 16) {
    a = _mm_add_epi8(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    p += 16;
    length -= 16;
  }
  if (length >= 8) {
    b = _mm_add_epi8(b, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    p += 8;
    length -= 8;
  }
  unsigned sum = FoldLanes(_mm_add_epi8(a, b));
  if (length >= 4) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    sum += (w & 0xFF) + (w >> 8 & 0xFF) + (w >> 16 & 0xFF) + (w >> 24);
    p += 4;
    length -= 4;
  }
  for (std::size_t i = 0; i < length; ++i) sum += p[i];
  return static_cast<std::uint8_t>(sum);
}

const char* ByteSumKind() {
  return "sse2";
}

#elif defined(APDESK_BYTESUM_NEON)

std::uint8_t ByteSum(const std::uint8_t* p, std::size_t length) {
  uint8x16_t a = vdupq_n_u8(0), b = vdupq_n_u8(0);
  while (length >= 32) {
    a = vaddq_u8(a, vld1q_u8(p));
    b = vaddq_u8(b, vld1q_u8(p + 16));
    p += 32;
    length -= 32;
  }
  if (length >= 16) {
    a = vaddq_u8(a, vld1q_u8(p));
    p += 16;
    length -= 16;
  }
  unsigned sum = vaddvq_u8(vaddq_u8(a, b));  // the lanes added, modulo 256
  if (length >= 8) {
    sum += vaddv_u8(vld1_u8(p));
    p += 8;
    length -= 8;
  }
  for (std::size_t i = 0; i < length; ++i) sum += p[i];
  return static_cast<std::uint8_t>(sum);
}

const char* ByteSumKind() {
  return "neon";
}

#else

std::uint8_t ByteSum(const std::uint8_t* bytes, std::size_t length) {
  return ByteSumPlain(bytes, length);
}

const char* ByteSumKind() {
  return "plain";
}

#endif

}  // namespace apdesk

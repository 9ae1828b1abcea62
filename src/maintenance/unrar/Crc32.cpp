#include "Crc32.h"

#include <immintrin.h>
#include <zlib.h>

namespace rarscan {
namespace {

#define CRC_TARGET __attribute__((target("pclmul,sse4.1")))

CRC_TARGET inline __m128i load(const unsigned char *q) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(q)); }

// x * k (both 64-bit halves, each by its constant) added to `next`.
CRC_TARGET inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// CRC-32 (the zlib polynomial, bit-reflected) by folding 64 bytes at a time
// with carry-less multiplication, then 16, then a Barrett reduction to 32
// bits. `crc` is the register itself (not inverted); len >= 64, a multiple of
// 16. The constants are x^n mod P for the folding distances, P and its
// Barrett quotient.
CRC_TARGET uint32_t foldCrc(uint32_t crc, const unsigned char *p, size_t len) {
  const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
  const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124LL);
  const __m128i poly = _mm_set_epi64x(0x1f7011641LL, 0x1db710641LL);
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc)));
  __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
  p += 64;
  len -= 64;
  while (len >= 64) {
    x1 = fold(x1, k1k2, load(p));
    x2 = fold(x2, k1k2, load(p + 16));
    x3 = fold(x3, k1k2, load(p + 32));
    x4 = fold(x4, k1k2, load(p + 48));
    p += 64;
    len -= 64;
  }
  x1 = fold(x1, k3k4, x2);
  x1 = fold(x1, k3k4, x3);
  x1 = fold(x1, k3k4, x4);
  while (len >= 16) {
    x1 = fold(x1, k3k4, load(p));
    p += 16;
    len -= 16;
  }
  // 128 -> 64 bits, then 64 -> 32, then the Barrett reduction.
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k3k4, 0x10), _mm_srli_si128(x1, 8));
  __m128i x2b = _mm_srli_si128(x1, 4);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5, 0x00), x2b);
  x2b = x1;
  x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
  x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x00);
  x1 = _mm_xor_si128(x1, x2b);
  return uint32_t(_mm_extract_epi32(x1, 1));
}

} // namespace

uint32_t crc32(uint32_t crc, const void *data, size_t len) {
  auto *p = static_cast<const unsigned char *>(data);
  static const bool usable = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  if (usable && len >= 64) {
    const size_t body = len & ~size_t(15);
    crc = ~foldCrc(~crc, p, body);
    p += body;
    len -= body;
  }
  return uint32_t(::crc32(crc, p, uInt(len)));
}

} // namespace rarscan

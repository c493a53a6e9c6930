#include "codec/start_codes.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mv::codec {

// Pairs of zero bytes are rare in coded data, so the scan looks for them many positions at a time.
size_t nextStartCodeOne(const uint8_t* d, size_t n, size_t from) {
  size_t j = from;
  for (; j < n && j < 2; ++j)
    if (d[j] == 1) return j;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  if (j < 2) return n;
  // A lane of max(d[k + x], d[k + x + 1]) is zero where a pair of zeros starts at k + x; 64
  // positions are tested at once, and looked at closer only where some lane is zero. The rest,
  // as in the short pieces of TS and PS packets, goes 16 at a time.
  const auto pairs = [d](size_t k) {
    return _mm_max_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k)),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + k + 1)));
  };
  const auto oneAfterPair = [d, n, zero](__m128i m, size_t k) {
    for (unsigned at = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(m, zero))); at != 0; at &= at - 1) {
      const size_t one = k + size_t(__builtin_ctz(at)) + 2;
      if (one < n && d[one] == 1) return one;
    }
    return n;
  };
  size_t k = j - 2;
  for (; k + 65 <= n; k += 64) {
    const __m128i m0 = pairs(k), m1 = pairs(k + 16), m2 = pairs(k + 32), m3 = pairs(k + 48);
    const __m128i low = _mm_min_epu8(_mm_min_epu8(m0, m1), _mm_min_epu8(m2, m3));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(low, zero)) == 0) continue;
    const __m128i blocks[4] = {m0, m1, m2, m3};
    for (size_t b = 0; b < 4; ++b)
      if (const size_t one = oneAfterPair(blocks[b], k + 16 * b); one < n) return one;
  }
  for (; k + 17 <= n; k += 16)
    if (const size_t one = oneAfterPair(pairs(k), k); one < n) return one;
  j = k + 2;
#endif
  for (; j < n; ++j)
    if (d[j] == 1 && d[j - 1] == 0 && d[j - 2] == 0) return j;
  return n;
}

StartCodeFinder::Hit StartCodeFinder::next(const uint8_t* d, size_t n, size_t from) {
  for (size_t i = from;;) {
    const size_t one = nextStartCodeOne(d, n, i);
    // The zeros just before `one`; when all of d[i, one) is zero, those before i count on.
    int zeros = 0;
    while (zeros < 3 && one - size_t(zeros) > i && d[one - size_t(zeros) - 1] == 0) ++zeros;
    if (zeros < 3 && one - size_t(zeros) == i) zeros = std::min(3, zeros + zeros_);
    if (one == n) {
      zeros_ = zeros;
      return {n, 0};
    }
    zeros_ = 0;
    if (zeros >= 2) return {one, zeros};
    i = one + 1;
  }
}

}  // namespace mv::codec

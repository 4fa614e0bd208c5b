#include "analysis/ByteRows.h"

#include <algorithm>

#include "match/NameMatcher.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILMERE_X86 1
#endif

namespace analysis {

TByteRows::TByteRows(const bool (&has)[256]) {
  for (int c = 0; c < 256; ++c) {
    if (!has[c]) continue;
    unsigned char* const rows = c < 0x80 ? low_ : high_;
    rows[c & 15] = static_cast<unsigned char>(rows[c & 15] | 1u << ((c >> 4) & 7));
  }
}

bool TByteRows::Usable() {
  return std::min(match::TNameMatcher::VectorLevelLimit(), match::SupportedVectorLevel()) >=
         match::TVectorLevel::Avx2;
}

#ifdef QUILMERE_X86
__attribute__((target("avx2"))) std::uint32_t TByteRows::Members(const unsigned char* p) const {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  const __m256i lo = _mm256_and_si256(v, nibble);
  const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
  const __m256i low =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low_)));
  const __m256i high =
      _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(high_)));
  // The row of the byte's low nibble, from the table of its top bit.
  const __m256i row = _mm256_blendv_epi8(_mm256_shuffle_epi8(low, lo),
                                         _mm256_shuffle_epi8(high, lo), v);
  // The bit of its high nibble (0 to 7 within the row).
  const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128,
                                        1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i bit = _mm256_shuffle_epi8(bits, hi);
  const __m256i out = _mm256_cmpeq_epi8(_mm256_and_si256(row, bit), _mm256_setzero_si256());
  return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(out));
}
#else
std::uint32_t TByteRows::Members(const unsigned char*) const { return 0; }
#endif

}  // namespace analysis

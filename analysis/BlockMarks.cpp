#include "analysis/BlockMarks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILMERE_X86 1
#endif

namespace analysis {

namespace {

// The bytes at offsets from to to, one at a time.
void ScanBytes(const unsigned char* p, std::size_t from, std::size_t to, TBlockMarks& marks) {
  for (std::size_t i = from; i < to; ++i) {
    if (p[i] == '#') marks.hashes.push_back(static_cast<std::uint32_t>(i));
    if (p[i] == '&') marks.amps.push_back(static_cast<std::uint32_t>(i));
    marks.lineEnds += p[i] == '\n';
  }
}

// The "#" and "&" among the bytes at offset from on that bits marks.
inline void Split(const unsigned char* p, std::size_t from, std::uint32_t bits,
                  TBlockMarks& marks) {
  for (; bits != 0; bits &= bits - 1) {
    const std::size_t at = from + static_cast<std::size_t>(__builtin_ctz(bits));
    (p[at] == '#' ? marks.hashes : marks.amps).push_back(static_cast<std::uint32_t>(at));
  }
}

#ifdef QUILMERE_X86
// Steps of width bytes: a mask of the "#" and "&" (rare: most steps have
// none), and the line ends added up per byte lane, then summed every 255
// steps, before a lane could overflow. Returns where the whole steps end.
std::size_t Scan16(const unsigned char* p, std::size_t n, TBlockMarks& marks) {
  const __m128i hash = _mm_set1_epi8('#'), amp = _mm_set1_epi8('&'), lf = _mm_set1_epi8('\n');
  std::size_t i = 0;
  while (i + 16 <= n) {
    __m128i lanes = _mm_setzero_si128();
    const std::size_t stop = i + 16 * 255 < n - 15 ? i + 16 * 255 : n - 15;
    for (; i < stop; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, lf));
      const auto bits = static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, hash), _mm_cmpeq_epi8(v, amp))));
      if (bits != 0) [[unlikely]] Split(p, i, bits, marks);
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    marks.lineEnds += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                      static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
  }
  return i;
}

__attribute__((target("avx2"))) std::size_t Scan32(const unsigned char* p, std::size_t n,
                                                   TBlockMarks& marks) {
  const __m256i hash = _mm256_set1_epi8('#'), amp = _mm256_set1_epi8('&'),
                lf = _mm256_set1_epi8('\n');
  std::size_t i = 0;
  while (i + 32 <= n) {
    __m256i lanes = _mm256_setzero_si256();
    const std::size_t stop = i + 32 * 255 < n - 31 ? i + 32 * 255 : n - 31;
    for (; i < stop; i += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
      lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(v, lf));
      const auto bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(
          _mm256_or_si256(_mm256_cmpeq_epi8(v, hash), _mm256_cmpeq_epi8(v, amp))));
      if (bits != 0) [[unlikely]] Split(p, i, bits, marks);
    }
    const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());
    marks.lineEnds += static_cast<std::size_t>(_mm256_extract_epi64(sums, 0)) +
                      static_cast<std::size_t>(_mm256_extract_epi64(sums, 1)) +
                      static_cast<std::size_t>(_mm256_extract_epi64(sums, 2)) +
                      static_cast<std::size_t>(_mm256_extract_epi64(sums, 3));
  }
  return i;
}
#endif

}  // namespace

void TBlockMarks::Scan(const unsigned char* p, std::size_t n) {
  hashes.clear();
  amps.clear();
  lineEnds = 0;
  std::size_t i = 0;
#ifdef QUILMERE_X86
  i = avx2 ? Scan32(p, n, *this) : Scan16(p, n, *this);
#endif
  ScanBytes(p, i, n, *this);
}

}  // namespace analysis

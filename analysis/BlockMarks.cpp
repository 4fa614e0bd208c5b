#include "analysis/BlockMarks.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILMERE_X86 1
#endif

namespace analysis {

void TBlockMarks::Add(const unsigned char* p, std::size_t at) {
  if (p[at] == '#') hashes_[hashCount_++] = static_cast<std::uint32_t>(at);
  if (p[at] == '&') amps_[ampCount_++] = static_cast<std::uint32_t>(at);
}

// The bytes at offsets from to to, one at a time.
void TBlockMarks::ScanBytes(const unsigned char* p, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) {
    Add(p, i);
    lineEnds_ += p[i] == '\n';
  }
}

#ifdef QUILMERE_X86
// Steps of 16 bytes: a mask of the "#" and "&" (rare: most steps have
// none), and the line ends added up per byte lane, then summed every 255
// steps, before a lane could overflow. Returns where the whole steps end.
std::size_t TBlockMarks::Scan16(const unsigned char* p, std::size_t n) {
  const __m128i hash = _mm_set1_epi8('#'), amp = _mm_set1_epi8('&'), lf = _mm_set1_epi8('\n');
  std::size_t i = 0;
  while (i + 16 <= n) {
    __m128i lanes = _mm_setzero_si128();
    const std::size_t stop = i + 16 * 255 < n - 15 ? i + 16 * 255 : n - 15;
    for (; i < stop; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      lanes = _mm_sub_epi8(lanes, _mm_cmpeq_epi8(v, lf));
      auto bits = static_cast<std::uint32_t>(
          _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, hash), _mm_cmpeq_epi8(v, amp))));
      for (; bits != 0; bits &= bits - 1) Add(p, i + static_cast<std::size_t>(__builtin_ctz(bits)));
    }
    const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
    lineEnds_ += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_extract_epi16(sums, 4));
  }
  return i;
}

namespace {

// The offsets of the bits of mask (a step's, at offset at) from out[count]
// on: the first two written whatever the mask holds, so that a step of none
// or one, nearly every step, takes no branch on it.
__attribute__((target("avx2,popcnt,bmi"))) inline void Offsets(std::uint32_t mask,
                                                               std::size_t at,
                                                               std::uint32_t* out,
                                                               std::size_t& count) {
  const auto base = static_cast<std::uint32_t>(at);
  const auto marks = static_cast<std::size_t>(__builtin_popcount(mask));
  out[count] = base + static_cast<std::uint32_t>(_tzcnt_u32(mask));
  mask = _blsr_u32(mask);
  out[count + 1] = base + static_cast<std::uint32_t>(_tzcnt_u32(mask));
  if (marks > 2) [[unlikely]] {
    for (std::size_t k = count + 2; (mask = _blsr_u32(mask)) != 0; ++k) {
      out[k] = base + static_cast<std::uint32_t>(_tzcnt_u32(mask));
    }
  }
  count += marks;
}

}  // namespace

// The same 32 bytes a step, the offsets written as above.
__attribute__((target("avx2,popcnt,bmi"))) std::size_t TBlockMarks::Scan32(const unsigned char* p,
                                                                           std::size_t n) {
  const __m256i hash = _mm256_set1_epi8('#'), amp = _mm256_set1_epi8('&'),
                lf = _mm256_set1_epi8('\n');
  std::uint32_t* const hashes = hashes_.data();
  std::uint32_t* const amps = amps_.data();
  std::size_t i = 0;
  while (i + 32 <= n) {
    __m256i lanes = _mm256_setzero_si256();
    const std::size_t stop = i + 32 * 255 < n - 31 ? i + 32 * 255 : n - 31;
    for (; i < stop; i += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
      lanes = _mm256_sub_epi8(lanes, _mm256_cmpeq_epi8(v, lf));
      Offsets(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, hash))), i,
              hashes, hashCount_);
      Offsets(static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, amp))), i,
              amps, ampCount_);
    }
    const __m256i sums = _mm256_sad_epu8(lanes, _mm256_setzero_si256());
    lineEnds_ += static_cast<std::size_t>(_mm256_extract_epi64(sums, 0)) +
                 static_cast<std::size_t>(_mm256_extract_epi64(sums, 1)) +
                 static_cast<std::size_t>(_mm256_extract_epi64(sums, 2)) +
                 static_cast<std::size_t>(_mm256_extract_epi64(sums, 3));
  }
  return i;
}
#else
std::size_t TBlockMarks::Scan16(const unsigned char*, std::size_t) { return 0; }
std::size_t TBlockMarks::Scan32(const unsigned char*, std::size_t) { return 0; }
#endif

void TBlockMarks::Scan(const unsigned char* p, std::size_t n) {
  // Two offsets past the last mark, at most, are written and not counted.
  if (hashes_.size() < n + 2) {
    hashes_.resize(n + 2);
    amps_.resize(n + 2);
  }
  hashCount_ = ampCount_ = lineEnds_ = 0;
  std::size_t i = 0;
#ifdef QUILMERE_X86
  i = avx2 ? Scan32(p, n) : Scan16(p, n);
#endif
  ScanBytes(p, i, n);
}

}  // namespace analysis

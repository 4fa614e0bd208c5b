#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/AsciiText.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The bytes of a read text that the CFML rules can look at around a place:
// the current block and the history kept in front of it, addressed by their
// offset in the whole text. Looks outside read NoByte (before the history or
// past the text's end) or LaterByte (not read yet; the look is retried with
// the next block). The byte classes that the rules' looks share live here
// too, so that each is written once.
//
// Filled by TCfmlRules for each block; read by it and by the rule units it
// coordinates, on the analysis thread.
namespace analysis {

inline constexpr int NoByte = -1;     // before the text's start, or past its end
inline constexpr int LaterByte = -2;  // not read yet

// The line ends ("\n") of the n bytes at p, eight bytes at a time: for the
// lines of the reasons within the bytes at hand (a whole block's are counted
// with its other marks, TBlockMarks).
inline std::size_t CountLineEnds(const unsigned char* p, std::size_t n) {
  constexpr std::uint64_t Ones = 0x0101010101010101ull, Low7 = 0x7f7f7f7f7f7f7f7full;
  constexpr std::uint64_t Lf = Ones * '\n';
  std::size_t count = 0, i = 0;
  while (i + 8 <= n) {
    // Per byte lane, the line ends met (at most 255, then they are added up):
    // a lane of x is zero where the byte is one, and its high bit is then
    // the only one left clear below.
    std::uint64_t lanes = 0;
    const std::size_t stop = std::min(n - 7, i + 8 * 255);
    for (; i < stop; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      const std::uint64_t x = w ^ Lf;
      lanes += (~(((x & Low7) + Low7) | x) >> 7) & Ones;
    }
    lanes = (lanes & 0x00ff00ff00ff00ffull) + ((lanes >> 8) & 0x00ff00ff00ff00ffull);
    count += static_cast<std::size_t>((lanes * 0x0001000100010001ull) >> 48);
  }
  for (; i < n; ++i) count += p[i] == '\n';
  return count;
}

// A set of bytes as a table: the rules ask at nearly every place.
struct TByteClass {
  bool has[256] = {};
  constexpr explicit TByteClass(const char* bytes) {
    for (; *bytes != 0; ++bytes) has[static_cast<unsigned char>(*bytes)] = true;
  }
  constexpr bool operator()(int c) const { return c >= 0 && has[c]; }
};

// Token bytes: A-Z, a-z, 0-9 and "_".
inline constexpr TByteClass TokenBytes(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_");
constexpr bool IsTokenByte(int c) { return TokenBytes(c); }

// How many token bytes lead the bytes [p, end): 16 at a time where SSE2 is
// at hand, as the rules measure the token after every "#" of a text.
inline std::size_t TokenRun(const unsigned char* p, const unsigned char* end) {
  const unsigned char* q = p;
#if defined(__SSE2__)
  const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
  // Unsigned v - low < n, as a signed comparison of both shifted by 0x80.
  const auto within = [&](__m128i v, char low, int n) {
    return _mm_cmplt_epi8(_mm_xor_si128(_mm_sub_epi8(v, _mm_set1_epi8(low)), bias),
                          _mm_set1_epi8(static_cast<char>(n - 128)));
  };
  for (; end - q >= 16; q += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    const __m128i token =
        _mm_or_si128(_mm_or_si128(within(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 26),
                                  within(v, '0', 10)),
                     _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
    const auto other = ~static_cast<unsigned>(_mm_movemask_epi8(token)) & 0xffffu;
    if (other != 0) return static_cast<std::size_t>(q - p) + static_cast<std::size_t>(__builtin_ctz(other));
  }
#endif
  while (q < end && TokenBytes.has[*q]) ++q;
  return static_cast<std::size_t>(q - p);
}
constexpr bool IsQuote(int c) { return c == '"' || c == '\''; }
constexpr bool IsBlank(int c) { return c == ' ' || c == '\t'; }
inline char Fold(int c) { return platform::UpperAscii(static_cast<char>(c)); }

// A literal that a rule puts into the analysis's matcher (upper-cased,
// reported at every place), and the group of the rule's own that it stands
// for.
struct TRuleLiteral {
  std::string text;
  std::uint32_t group = 0;
};

// What a rule's look at a place found.
enum class TLook : std::uint8_t {
  Later,  // it needs bytes that are not read yet: ask again with the next block
  Miss,   // the place is not the rule's
  Hit,    // the place names what the rule's answer says
};

struct TTextWindow {
  const unsigned char* block = nullptr;  // the current block
  std::int64_t offset = 0;               // of block in the text
  std::int64_t first = 0;                // the bytes at hand: offsets [first, last)
  std::int64_t last = 0;
  bool ended = false;                    // the text has no bytes after last

  // The byte at offset o: NoByte before the history, LaterByte past the
  // bytes read so far (NoByte once the text has ended).
  int At(std::int64_t o) const {
    if (o >= first && o < last) [[likely]] return block[o - offset];
    if (o < first) return NoByte;
    return ended ? NoByte : LaterByte;
  }

  // Where the token ending just before offset end starts (end itself when
  // the byte there is no token byte); -1 when it is longer than limit.
  std::int64_t TokenStart(std::int64_t end, std::int64_t limit) const {
    if (end <= first || end > last) return end;  // nothing at hand before it
    // Bytes at hand, walked by pointer: this runs at many places.
    const unsigned char* const at = block + (end - offset);
    const unsigned char* const lowest = block + (first - offset);
    const unsigned char* p = at;
    while (p > lowest && TokenBytes.has[p[-1]]) {
      if (at - p >= limit) return -1;
      --p;
    }
    return end - (at - p);
  }

  // The bytes [start, end), upper-cased; all of them must be at hand.
  std::string Upper(std::int64_t start, std::int64_t end) const {
    std::string text;
    text.reserve(static_cast<std::size_t>(end - start));
    for (std::int64_t o = start; o < end; ++o) text += Fold(At(o));
    return text;
  }
};

}  // namespace analysis

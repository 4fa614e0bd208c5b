#include "match/EndSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "match/NameMatcher.h"
#include "platform/AsciiText.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILMERE_X86 1
#endif

namespace match {

namespace {

// The case rule of platform::UpperAscii as a table, for the loops that fold
// every byte.
struct FoldTable {
  unsigned char to[256] = {};
  constexpr FoldTable() {
    for (int c = 0; c < 256; ++c) {
      to[c] = static_cast<unsigned char>(platform::UpperAscii(static_cast<char>(c)));
    }
  }
};
constexpr FoldTable Fold;

}  // namespace

TVectorLevel TEndSearch::Supported() {
#ifdef QUILMERE_X86
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vbmi")) {
    return TVectorLevel::Avx512;
  }
  if (__builtin_cpu_supports("avx2")) return TVectorLevel::Avx2;
#endif
  return TVectorLevel::None;
}

TEndSearch::TEndSearch(TVectorLevel level, const std::vector<std::string>& names,
                       const std::vector<bool>& positional, const TWordEnds& wordEnds,
                       bool judge)
    : level_(std::min(level, Supported())), judge_(judge), wordEnds_(wordEnds) {
  wordEnds_.names.resize(names.size(), false);
  wordEnds_.starts.resize(names.size(), false);
  const std::size_t n = names.size();
  positional_.assign(n, 0);
  retired_.assign(n, Live);
  stamp_.assign(n, 0);
  std::size_t longest = 0;
  for (std::size_t k = 0; k < n; ++k) {
    positional_[k] = k < positional.size() && positional[k];
    longest = std::max(longest, names[k].size());
  }
  tail_.assign(std::max(longest + 1, Depth), 0);  // and the byte before a name
  BuildFilter(names, {TByteWeights()});
  if (passesTooMuch_) return;  // never fed: the matcher takes the automaton
  keys_ = TEndKeys(names);
  BuildTrie(names);
  names_ = names;
}

// The filter again over the names still live, at the end of a window (see
// the class comment for when).
void TEndSearch::Refilter() {
  // Once without retired names too: the first build guessed the text's bytes.
  if (builds_ >= MaxFilterBuilds || wasted_ < RefilterAfter || (retiredSince_ == 0 && measured_)) {
    return;
  }
  measured_ = true;
  for (std::size_t k = 0; k < names_.size(); ++k) {
    if (retired_[k] != Live) names_[k].clear();
  }
  BuildFilter(names_, {TByteWeights(), TByteWeights(seen_)});
  retiredSince_ = 0;
  wasted_ = 0;
}

// Whether some live name ends with the bytes of the place ending at index e,
// by the second filter.
bool TEndSearch::KeyLive(std::ptrdiff_t e) const {
  constexpr std::size_t Length = TEndKeys::Length;
  const auto have = static_cast<std::size_t>(e + 1 + static_cast<std::ptrdiff_t>(tailLen_));
  if (e + 1 >= static_cast<std::ptrdiff_t>(Length)) return keys_.Passes(data_ + e, have);
  // Straddles the block's start: the bytes before it come from the tail.
  unsigned char window[Length];
  const std::size_t n = std::min(have, Length);
  for (std::size_t j = 0; j < n; ++j) {
    const std::ptrdiff_t k = e - static_cast<std::ptrdiff_t>(j);
    window[Length - 1 - j] = k >= 0 ? data_[k] : tail_[tailLen_ + k];
  }
  return keys_.Passes(window + Length - 1, have);
}

// The trie of the reversed names, built from the names sorted backwards: a
// node's names share its bytes, those that end there sort first, and each
// following run of equal next bytes is one child; a node's children are side by side.
void TEndSearch::BuildTrie(const std::vector<std::string>& names) {
  // Byte classes: each byte that occurs in some name one of its own (a-z
  // that of A-Z), all others class 0, which leads nowhere.
  for (const std::string& name : names) {
    for (char ch : name) {
      const auto c = static_cast<unsigned char>(ch);
      if (classOf_[c] == 0) classOf_[c] = static_cast<unsigned char>(classes_++);
    }
  }
  for (int c = 'a'; c <= 'z'; ++c) classOf_[c] = classOf_[c - 'a' + 'A'];
  std::vector<std::pair<std::string, std::uint32_t>> reversed;
  for (std::uint32_t k = 0; k < names.size(); ++k) {
    if (!names[k].empty())
      reversed.emplace_back(std::string(names[k].rbegin(), names[k].rend()), k);
  }
  std::sort(reversed.begin(), reversed.end());
  // At most a node per byte of the names, and the root: room for them all
  // at once, so that no growth copies the nodes into fresh pages.
  std::size_t bytes = 1;
  for (const auto& name : reversed) bytes += name.first.size();
  nodes_.reserve(bytes);
  byte_.reserve(bytes);
  parent_.reserve(bytes);
  struct Range {
    std::uint32_t node, lo, hi, depth;
  };
  // Depth first, so that the nodes of a run of single children, which is
  // what a walk meets once the text is down to one name, lie side by side.
  std::vector<Range> stack{{0, 0, static_cast<std::uint32_t>(reversed.size()), 0}};
  std::vector<Range> children;
  nodes_.emplace_back();
  byte_.push_back(0);
  parent_.push_back(None);
  idNode_.assign(names.size(), None);
  while (!stack.empty()) {
    const Range r = stack.back();
    stack.pop_back();
    std::uint32_t t = r.lo;
    nodes_[r.node].outStart = static_cast<std::uint32_t>(outIds_.size());
    for (; t < r.hi && reversed[t].first.size() == r.depth; ++t) {
      outIds_.push_back(reversed[t].second);
      idNode_[reversed[t].second] = r.node;
    }
    nodes_[r.node].live = r.hi - r.lo;
    nodes_[r.node].outEnd = static_cast<std::uint32_t>(outIds_.size());
    nodes_[r.node].first = static_cast<std::uint32_t>(nodes_.size());
    std::uint32_t count = 0;
    children.clear();
    while (t < r.hi) {
      const unsigned char b = static_cast<unsigned char>(reversed[t].first[r.depth]);
      std::uint32_t u = t;
      while (u < r.hi && static_cast<unsigned char>(reversed[u].first[r.depth]) == b) ++u;
      children.push_back({static_cast<std::uint32_t>(nodes_.size()), t, u, r.depth + 1});
      nodes_.emplace_back();
      byte_.push_back(b);
      parent_.push_back(r.node);
      ++count;
      t = u;
    }
    Node& node = nodes_[r.node];
    node.count = static_cast<std::uint16_t>(count);
    stack.insert(stack.end(), children.rbegin(), children.rend());
    // One child's byte in the record; a few children's bytes side by side
    // in few_; more get a row over the byte classes, so that a step is one
    // load and no search, up to a budget.
    if (count == 1) {
      node.find = byte_[node.first];
    } else if (count > 1 && count <= Few) {
      node.find = static_cast<std::uint32_t>(few_.size());
      few_.emplace_back();
      for (std::uint32_t c = 0; c < count; ++c) few_.back()[c] = byte_[node.first + c];
    } else if (count > Few && dense_.size() + classes_ <= DenseBudget) {
      node.find = static_cast<std::uint32_t>(dense_.size() / classes_);
      dense_.resize(dense_.size() + classes_, None);
      for (std::uint32_t c = 0; c < count; ++c) {
        const std::uint32_t child = node.first + c;
        dense_[std::size_t{node.find} * classes_ + classOf_[byte_[child]]] = child;
      }
    }
  }
  // The runs of single children: a node's only child is the next node
  // wherever the node came off the stack right after its parent, which is
  // so all along a run of one name's bytes.
  for (std::size_t x = nodes_.size(); x-- > 1;) {
    Node& n = nodes_[x];
    if (n.count == 1 && n.first == x + 1 && n.outStart == n.outEnd) {
      n.skip = static_cast<std::uint16_t>(std::min(65535, 1 + nodes_[x + 1].skip));
    }
  }
}

// Installs the buckets FillEndBuckets makes of names (by each of choices) in
// the filter's tables.
void TEndSearch::BuildFilter(const std::vector<std::string>& names,
                             const std::vector<TByteWeights>& choices) {
  const TEndFilling filling = FillEndBuckets(names, choices, level_, sample_);
  const std::vector<TEndPlaces>& best = filling.buckets;
  passesTooMuch_ = judge_ && filling.share * MaxPassShare > 1;
  ++builds_;
  windowFed_ = 0;
  windowPassed_ = 0;
  std::memset(byteBits_, 0, sizeof byteBits_);
  std::memset(low_, 0, sizeof low_);
  std::memset(high_, 0, sizeof high_);
  std::memset(sixBits_, 0, sizeof sixBits_);
  std::memset(exact_, 0, sizeof exact_);
  for (std::size_t b = 0; b < best.size(); ++b) {
    const auto bit = static_cast<std::uint16_t>(1u << b);
    const auto halfBit = static_cast<unsigned char>(1u << b % 8);
    for (std::size_t j = 0; j < Depth; ++j) {
      for (int c = 0; c < 256; ++c) {
        if (!best[b][j].Has(c)) continue;
        byteBits_[j][c] = static_cast<std::uint16_t>(byteBits_[j][c] | bit);
        if (b < 8) {
          low_[j][c & 15] |= halfBit;
          high_[j][c >> 4] |= halfBit;
        }
        if (c < 0x80 && Fold.to[c] == c) sixBits_[b / 8][j][c & 63] |= halfBit;
        exact_[b / 8][j][c] |= halfBit;
      }
    }
  }
}

void TEndSearch::Start() {
  if (++generation_ == 0) {
    generation_ = 1;
    std::fill(stamp_.begin(), stamp_.end(), 0);
  }
  for (std::uint32_t id : retiring_) retired_[id] = Gone;
  retiring_.clear();
  found_.clear();
  tailLen_ = 0;
  work_ += textWork_;
  textWork_ = 0;
  textFed_ = 0;
  // Judged once per window, and built again only then, so that a build is
  // also paid for by the bytes of a window.
  if (windowFed_ < WindowBytes) return;
  passesTooMuch_ = judge_ && windowPassed_ * MaxPassShare > windowFed_;
  windowFed_ = 0;
  windowPassed_ = 0;
  if (!passesTooMuch_) Refilter();
}

// The walks need not reach id again: the nodes on its path lose one live
// name each, and its key one count.
void TEndSearch::Retire(std::uint32_t id) {
  if (id >= retired_.size() || idNode_[id] == None || retired_[id] != Live) return;
  retired_[id] = Retiring;
  retiring_.push_back(id);
  ++retiredSince_;
  keys_.Retire(id);
  for (std::uint32_t node = idNode_[id]; node != None; node = parent_[node]) --nodes_[node].live;
}

void TEndSearch::AppendFound(std::vector<std::uint32_t>& found) const {
  found.insert(found.end(), found_.begin(), found_.end());
}

std::uint32_t TEndSearch::Child(std::uint32_t node, unsigned char byte) const {
  const Node& n = nodes_[node];
  if (n.count <= 1) return n.count == 1 && n.find == byte ? n.first : None;
  if (n.count <= Few) {
    const unsigned char* const kids = few_[n.find].data();
#if defined(__SSE2__)
    const __m128i eq = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kids)),
                                      _mm_set1_epi8(static_cast<char>(byte)));
    const unsigned hits =
        static_cast<unsigned>(_mm_movemask_epi8(eq)) & ((1u << n.count) - 1);
    return hits != 0 ? n.first + static_cast<std::uint32_t>(__builtin_ctz(hits)) : None;
#else
    for (std::uint32_t c = 0; c < n.count; ++c) {
      if (kids[c] == byte) return n.first + c;
    }
    return None;
#endif
  }
  if (n.find != None) return dense_[std::size_t{n.find} * classes_ + classOf_[byte]];
  for (std::uint32_t c = n.first; c < n.first + n.count; ++c) {
    if (byte_[c] == byte) return c;
  }
  return None;
}

void TEndSearch::Report(const Node& node, const unsigned char* end, int before) {
  // Word-end names only where the next byte, when in the block, ends the word;
  // word-start names only where the byte before (if any) is not a word byte.
  const bool wordEnds = end == dataEnd_ || !wordEnds_.wordBytes[*end];
  const bool wordStarts = before < 0 || !wordEnds_.wordBytes[before];
  for (std::uint32_t j = node.outStart; j < node.outEnd; ++j) {
    const std::uint32_t id = outIds_[j];
    if (retired_[id] != Live) continue;  // found already, if in this text
    if (!wordStarts && wordEnds_.starts[id]) continue;
    if (stamp_[id] != generation_) {
      stamp_[id] = generation_;
      found_.push_back(id);
    }
    if (!positional_[id] || sink_ == nullptr || (wordEnds_.names[id] && !wordEnds)) continue;
    ++textWork_;
    if (!sink_->OnMatch(id, end)) Retire(id);
  }
}

// Every name ending with the byte at index e of the block: the reversed
// names that the bytes from there backwards spell, into the kept tail.
void TEndSearch::Verify(std::ptrdiff_t e) {
  ++windowPassed_;
  textWork_ += PlaceSteps;
  if (!KeyLive(e)) {
    ++wasted_;
    return;
  }
  const unsigned char* const end = data_ + e + 1;
  const std::ptrdiff_t lowest = -static_cast<std::ptrdiff_t>(tailLen_);
  const auto textByte = [&](std::ptrdiff_t k) { return k >= 0 ? data_[k] : tail_[tailLen_ + k]; };
  std::uint32_t node = 0;
  for (std::ptrdiff_t k = e; k >= lowest; --k) {
    node = Child(node, Fold.to[textByte(k)]);
    ++textWork_;
    if (node == None) return;
    if (const std::ptrdiff_t run = nodes_[node].skip; run != 0) {
      // Down a run of single children, where no name ends before its last:
      // their bytes, side by side, against the text's.
      if (k - run < lowest) return;
      for (std::ptrdiff_t i = 1; i <= run; ++i) {
        if (Fold.to[textByte(k - i)] != byte_[node + static_cast<std::size_t>(i)]) return;
      }
      k -= run;
      node += static_cast<std::uint32_t>(run);
      textWork_ += static_cast<std::uint64_t>(run);
    }
    const Node& n = nodes_[node];
    if (n.live == 0) return;
    if (n.outStart != n.outEnd) {
      // The tail holds the byte before every name, unless the text starts.
      Report(n, end, k - 1 < lowest ? -1 : k - 1 >= 0 ? data_[k - 1] : tail_[tailLen_ + k - 1]);
    }
  }
}

bool TEndSearch::Passes(std::ptrdiff_t e) const {
  unsigned bits = 0xffff;
  for (std::size_t j = 0; j < Depth; ++j) {
    const std::ptrdiff_t k = e - static_cast<std::ptrdiff_t>(j);
    if (k < -static_cast<std::ptrdiff_t>(tailLen_)) break;  // before the text: nothing to rule out
    bits &= byteBits_[j][k >= 0 ? data_[k] : tail_[tailLen_ + k]];
  }
  return bits != 0;
}

void TEndSearch::Scalar(std::size_t from, std::size_t to) {
  for (std::size_t e = from; e < to; ++e) {
    if (!Passes(static_cast<std::ptrdiff_t>(e))) continue;
    Verify(static_cast<std::ptrdiff_t>(e));
    if (TooCostly(e + 1)) [[unlikely]] {
      stopped_ = e + 1;
      return;
    }
  }
}

// The places that passed the vector filter in count steps of width places
// from from on, one by one.
void TEndSearch::CheckSteps(std::size_t from, std::size_t count, std::size_t width) {
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t e = from + k * width;
    if (TooCostly(e)) [[unlikely]] {
      stopped_ = e;
      return;
    }
    for (std::uint64_t hits = steps_[k]; hits != 0; hits &= hits - 1) {
      Verify(static_cast<std::ptrdiff_t>(e + static_cast<std::size_t>(__builtin_ctzll(hits))));
    }
  }
}

#ifdef QUILMERE_X86
// Places from on, 32 at a time, while a whole step fits before to (from >=
// Depth - 1): for each place j back, the 32 bytes ending there split into
// nibbles, each nibble shuffled through its bucket table and the two and-ed;
// the places where the and over all Depth keeps a bucket bit are checked one
// by one.
__attribute__((target("avx2"))) std::size_t TEndSearch::Vector256(std::size_t from,
                                                                  std::size_t to) {
  if (to < from + 32) return from;
  const std::size_t count = (to - from) / 32;
  steps_.resize(count);
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  __m256i low[Depth], high[Depth];
  for (std::size_t j = 0; j < Depth; ++j) {
    low[j] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low_[j])));
    high[j] =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(high_[j])));
  }
  const unsigned char* const data = data_ + from;
  std::uint64_t* const steps = steps_.data();
  for (std::size_t k = 0; k < count; ++k) {
    const unsigned char* const at = data + k * 32;
    __m256i bits = _mm256_set1_epi8(-1);
    for (std::size_t j = 0; j < Depth; ++j) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at - j));
      const __m256i lo = _mm256_and_si256(v, nibble);
      const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
      bits = _mm256_and_si256(bits, _mm256_and_si256(_mm256_shuffle_epi8(low[j], lo),
                                                     _mm256_shuffle_epi8(high[j], hi)));
    }
    steps[k] = ~static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(bits, _mm256_setzero_si256())));
  }
  CheckSteps(from, count, 32);
  return from + count * 32;
}

// The same 64 places at a time, over the block with a-z folded to A-Z: each
// lookup two permutes of the folded bytes through the place's 64-entry
// tables of bucket bits (buckets 0 to 7 and 8 to 15), indexed by their low
// six bits. Folded bytes below 0x80
// that share those bits are few and rare in text (tab, line feed and
// carriage return with I, J and M; "{" and ";"), and accepting one for the
// other only lets a place through to the exact check. A step whose window
// holds a byte >= 0x80 (text in any script but Latin's 26 letters) is
// looked up again through the whole 256-entry tables (Exact512).
void TEndSearch::FoldBlock(std::size_t size) {
  if (foldedData_ != nullptr) return;  // fed folded
  folded_.resize(size + 64);
  Fold512(data_, folded_.data(), size);
  foldedData_ = folded_.data();
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void TEndSearch::Fold512(
    const unsigned char* from, unsigned char* to, std::size_t size) {
  const __m512i a = _mm512_set1_epi8('a');
  const __m512i letters = _mm512_set1_epi8(26);
  const __m512i gap = _mm512_set1_epi8(0x20);
  std::size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    const __m512i v = _mm512_loadu_si512(from + i);
    const __mmask64 lower = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, a), letters);
    _mm512_storeu_si512(to + i, _mm512_mask_sub_epi8(v, lower, v, gap));
  }
  for (; i < size; ++i) to[i] = Fold.to[from[i]];
}

// The places of the step of 64 ending at at that the filter lets pass, by
// the exact tables: per place j back and per half of the buckets, two
// permutes over two tables of 128 bytes each (the byte's low seven bits),
// the byte's top bit choosing between them. Four times the lookups of the
// six-bit step, and only for the steps that need it.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::uint64_t TEndSearch::Exact512(
    const unsigned char* at) const {
  __m512i bits[2] = {_mm512_set1_epi8(-1), _mm512_set1_epi8(-1)};
  for (std::size_t j = 0; j < Depth; ++j) {
    const __m512i v = _mm512_loadu_si512(at - j);
    const __mmask64 top = _mm512_movepi8_mask(v);
    for (std::size_t h = 0; h < 2; ++h) {
      const unsigned char* const table = exact_[h][j];
      const __m512i below = _mm512_permutex2var_epi8(_mm512_load_si512(table), v,
                                                     _mm512_load_si512(table + 64));
      const __m512i above = _mm512_permutex2var_epi8(_mm512_load_si512(table + 128), v,
                                                     _mm512_load_si512(table + 192));
      bits[h] = _mm512_and_si512(bits[h], _mm512_mask_blend_epi8(top, below, above));
    }
  }
  return _mm512_test_epi8_mask(bits[0], bits[0]) | _mm512_test_epi8_mask(bits[1], bits[1]);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t TEndSearch::Vector512(
    std::size_t from, std::size_t to) {
  if (to < from + 64) return from;
  const std::size_t count = (to - from) / 64;
  steps_.resize(count);
  FoldBlock(to);
  __m512i first[Depth], second[Depth];  // buckets 0 to 7, 8 to 15
  for (std::size_t j = 0; j < Depth; ++j) {
    first[j] = _mm512_load_si512(sixBits_[0][j]);
    second[j] = _mm512_load_si512(sixBits_[1][j]);
  }
  const unsigned char* const data = foldedData_ + from;
  std::uint64_t* const steps = steps_.data();
  for (std::size_t k = 0; k < count; ++k) {
    const unsigned char* const at = data + k * 64;
    __m512i bits = _mm512_set1_epi8(-1), more = bits;
    __mmask64 high = 0;
    for (std::size_t j = 0; j < Depth; ++j) {
      const __m512i v = _mm512_loadu_si512(at - j);
      if (j == 0 || j + 1 == Depth) high |= _mm512_movepi8_mask(v);
      bits = _mm512_and_si512(bits, _mm512_maskz_permutexvar_epi8(~__mmask64{0}, v, first[j]));
      more = _mm512_and_si512(more, _mm512_maskz_permutexvar_epi8(~__mmask64{0}, v, second[j]));
    }
    if (high != 0) [[unlikely]] {
      steps[k] = Exact512(at);
    } else {
      steps[k] = _mm512_test_epi8_mask(bits, bits) | _mm512_test_epi8_mask(more, more);
    }
  }
  CheckSteps(from, count, 64);
  return from + count * 64;
}
#else
std::uint64_t TEndSearch::Exact512(const unsigned char*) const { return 0; }
std::size_t TEndSearch::Vector256(std::size_t from, std::size_t) { return from; }
std::size_t TEndSearch::Vector512(std::size_t from, std::size_t) { return from; }
void TEndSearch::FoldBlock(std::size_t) {}
void TEndSearch::Fold512(const unsigned char*, unsigned char*, std::size_t) {}
#endif

void TEndSearch::FoldInPlace(unsigned char* data, std::size_t size) {
  static const bool wide = Supported() == TVectorLevel::Avx512;
  if (wide) {
    Fold512(data, data, size);
    return;
  }
  for (std::size_t i = 0; i < size; ++i) data[i] = Fold.to[data[i]];
}

// The start of a block, for the weights of a new filter, and kept to try
// filters on.
void TEndSearch::Sample(const unsigned char* data, std::size_t size) {
  const std::size_t n = std::min(size, SampleChunk);
  for (std::size_t i = 0; i < n; ++i) ++seen_[data[i]];
  if (sample_.size() < SampleBytes) {
    sample_.insert(sample_.end(), data, data + n);
  } else {
    std::memcpy(sample_.data() + sampleNext_, data, std::min(n, SampleBytes - sampleNext_));
    sampleNext_ = (sampleNext_ + SampleChunk) % SampleBytes;
  }
}

std::size_t TEndSearch::Feed(const unsigned char* data, std::size_t size, TMatchSink* sink,
                             bool folded) {
  data_ = data;
  dataEnd_ = data + size;
  sink_ = sink;
  stopped_ = None;
  foldedData_ = folded ? data : nullptr;
  if (fedBlocks_++ % 8 == 0) Sample(data, size);
  windowFed_ += size;
  // Windows that reach before the block, then whole steps, then the rest.
  const std::size_t head = std::min(size, Depth - 1);
  Scalar(0, head);
  std::size_t e = head;
  // (The AVX2 tables hold 8 buckets only: after AVX-512 steps the rest goes
  // through the scalar filter.)
  if (stopped_ == None && level_ == TVectorLevel::Avx512) {
    e = Vector512(e, size);
  } else if (stopped_ == None && level_ == TVectorLevel::Avx2) {
    e = Vector256(e, size);
  }
  if (stopped_ == None) Scalar(e, size);
  const std::size_t done = stopped_ == None ? size : stopped_;
  if (done == size) KeepTail(data, size);  // else the matcher reads the tail as it is
  textFed_ += done;
  sink_ = nullptr;
  data_ = nullptr;
  dataEnd_ = nullptr;
  foldedData_ = nullptr;
  return done;
}

void TEndSearch::TextBefore(const unsigned char* data, std::size_t done,
                            std::vector<unsigned char>& out) const {
  out.assign(tail_.begin(), tail_.begin() + static_cast<std::ptrdiff_t>(tailLen_));
  out.insert(out.end(), data, data + done);
  if (out.size() > tail_.size()) {
    out.erase(out.begin(), out.end() - static_cast<std::ptrdiff_t>(tail_.size()));
  }
}

void TEndSearch::KeepTail(const unsigned char* data, std::size_t size) {
  const std::size_t cap = tail_.size();
  if (size >= cap) {
    std::memcpy(tail_.data(), data + size - cap, cap);
    tailLen_ = cap;
    return;
  }
  const std::size_t keep = std::min(tailLen_, cap - size);
  std::memmove(tail_.data(), tail_.data() + tailLen_ - keep, keep);
  std::memcpy(tail_.data() + keep, data, size);
  tailLen_ = keep + size;
}

}  // namespace match

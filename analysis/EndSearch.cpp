#include "analysis/EndSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "analysis/NameMatcher.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILMERE_X86 1
#endif

namespace analysis {

namespace {

struct FoldTable {
  unsigned char to[256] = {};
  constexpr FoldTable() {
    for (int c = 0; c < 256; ++c) {
      to[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
  }
};
constexpr FoldTable Fold;

}  // namespace

// How often each byte occurs in the text (relative weights): what the bucket
// filling keeps out of the filter. At first a rough guess for the pages,
// scripts and style sheets of a web site; later what samples of the text
// read so far show, with a tenth of the guess mixed in.
struct ByteWeights {
  double w[256] = {};
  ByteWeights() {
    double sum = 0;
    for (int c = 0; c < 256; ++c) {
      double x = 0.3;                                    // controls, bytes >= 0x80
      if (c >= 0x21 && c < 0x7f) x = 1.5;                // other punctuation
      if (c >= 'a' && c <= 'z') x = 40;
      if (c >= 'A' && c <= 'Z') x = 6;
      if (c >= '0' && c <= '9') x = 8;
      if (c != 0 && std::strchr(":;-,()'_{}", c) != nullptr) x = 6;
      if (c != 0 && std::strchr("=/.#", c) != nullptr) x = 16;  // attributes, paths, CFML
      if (c == '<' || c == '>') x = 24;
      if (c == '"') x = 32;
      if (c == ' ') x = 50;
      if (c == '\n' || c == '\t' || c == '\r') x = 12;
      w[c] = x;
      sum += x;
    }
    for (double& x : w) x /= sum;
  }
  explicit ByteWeights(const std::uint64_t (&seen)[256]) : ByteWeights() {
    double total = 0;
    for (std::uint64_t n : seen) total += static_cast<double>(n);
    if (total == 0) return;
    for (int c = 0; c < 256; ++c) w[c] = 0.1 * w[c] + 0.9 * static_cast<double>(seen[c]) / total;
  }
};

namespace {

// A set of bytes, as four words of bits.
struct ByteSet {
  std::uint64_t w[4] = {};
  bool operator[](int c) const { return (w[c >> 6] >> (c & 63) & 1) != 0; }
  void Add(int c) { w[c >> 6] |= std::uint64_t{1} << (c & 63); }
  void AddAll() {
    for (std::uint64_t& x : w) x = ~std::uint64_t{0};
  }
  ByteSet& operator|=(const ByteSet& o) {
    for (int k = 0; k < 4; ++k) w[k] |= o.w[k];
    return *this;
  }
};

// The bytes a filter lookup accepts when told to accept set: with nibble
// tables (AVX2), every byte whose low and whose high nibble occur in set;
// else set itself.
ByteSet Accepted(const ByteSet& set, TVectorLevel level) {
  if (level != TVectorLevel::Avx2) return set;
  std::uint32_t low = 0, high = 0;
  for (int c = 0; c < 256; ++c) {
    if (set[c]) {
      low |= 1u << (c & 15);
      high |= 1u << (c >> 4);
    }
  }
  ByteSet out;
  for (int c = 0; c < 256; ++c) {
    if ((low >> (c & 15) & 1) && (high >> (c >> 4) & 1)) out.Add(c);
  }
  return out;
}

// The weights of every subset of each run of eight bytes, so that a set's
// weight is 32 lookups (the filling weighs many sets).
struct ChunkWeights {
  double t[32][256] = {};
  explicit ChunkWeights(const ByteWeights& bytes) {
    for (int k = 0; k < 32; ++k) {
      for (int m = 1; m < 256; ++m) {
        const int low = __builtin_ctz(static_cast<unsigned>(m));
        t[k][m] = t[k][m & (m - 1)] + bytes.w[8 * k + low];
      }
    }
  }
};

double Weight(const ByteSet& set, const ChunkWeights& w) {
  double sum = 0;
  for (int k = 0; k < 32; ++k) sum += w.t[k][set.w[k / 8] >> (8 * (k % 8)) & 0xff];
  return sum;
}

// Byte c, and its lower case for a letter.
ByteSet BothCases(unsigned char c) {
  ByteSet s;
  s.Add(c);
  if (c >= 'A' && c <= 'Z') s.Add(c + 32);
  return s;
}

// At most this many groups of ends go into the joining (more are joined in
// sorted order first), which bounds the build's cost.
constexpr std::size_t MaxGroups = 48;

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
                       const std::vector<bool>& positional)
    : level_(std::min(level, Supported())) {
  const std::size_t n = names.size();
  positional_.assign(n, 0);
  retired_.assign(n, Live);
  stamp_.assign(n, 0);
  std::size_t longest = 0;
  for (std::size_t k = 0; k < n; ++k) {
    positional_[k] = k < positional.size() && positional[k];
    longest = std::max(longest, names[k].size());
  }
  tail_.assign(std::max(longest, Depth), 0);
  BuildTrie(names);
  BuildFilter(names, {ByteWeights()});
  BuildKeys(names);
  names_ = names;
}

// The filter again over the names still live, once the places let through
// for retired names have cost about what a build does.
void TEndSearch::Refilter() {
  // Once without retired names too: the first build guessed the text's bytes.
  if (wasted_ < RefilterAfter || (retiredSince_ == 0 && measured_)) return;
  measured_ = true;
  for (std::size_t k = 0; k < names_.size(); ++k) {
    if (retired_[k] != Live) names_[k].clear();
  }
  BuildFilter(names_, {ByteWeights(), ByteWeights(seen_)});
  retiredSince_ = 0;
  wasted_ = 0;
}

std::uint64_t TEndSearch::Key(const unsigned char* last, std::size_t length) {
  std::uint64_t x = length;
  for (std::size_t j = 0; j < length; ++j) x = x << 8 | Fold.to[*(last - j)];
  return x;
}

std::uint32_t TEndSearch::FindKey(std::uint64_t key) const {
  for (std::uint32_t k = static_cast<std::uint32_t>(key * 0xC2B2AE3D27D4EB4Full >> 32) & keyMask_;;
       k = (k + 1) & keyMask_) {
    if (keys_[k] == key) return k;
    if (keys_[k] == 0) return None;
  }
}

bool TEndSearch::KeyPasses(std::uint64_t key) const {
  const std::uint64_t bit = Bit(key);
  if ((keyLive_[bit / 64] >> (bit % 64) & 1) == 0) return false;
  const std::uint32_t k = FindKey(key);
  return k != None && keyCount_[k] != 0;
}

void TEndSearch::BuildKeys(const std::vector<std::string>& names) {
  // At least sixteen bits per name keep the share of bits set, and so of
  // the places that reach the table by chance, small; the table is at most
  // half full.
  unsigned bits = 12;
  while (bits < 26 && (std::size_t{1} << bits) < 16 * names.size()) ++bits;
  bitShift_ = 64 - bits;
  bitCount_.assign(std::size_t{1} << bits, 0);
  keyLive_.assign(bitCount_.size() / 64, 0);
  std::size_t slots = 16;
  while (slots < 2 * names.size()) slots *= 2;
  keys_.assign(slots, 0);
  keyCount_.assign(slots, 0);
  keyMask_ = static_cast<std::uint32_t>(slots - 1);
  idKey_.assign(names.size(), None);
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::string& name = names[k];
    if (name.empty()) continue;
    const std::size_t length = std::min(name.size(), KeyLength);
    if (length < KeyLength) shortLength_[length] = true;
    const std::uint64_t key =
        Key(reinterpret_cast<const unsigned char*>(name.data()) + name.size() - 1, length);
    std::uint32_t slot = static_cast<std::uint32_t>(key * 0xC2B2AE3D27D4EB4Full >> 32) & keyMask_;
    while (keys_[slot] != 0 && keys_[slot] != key) slot = (slot + 1) & keyMask_;
    if (keys_[slot] == 0) {
      keys_[slot] = key;
      const std::uint64_t bit = Bit(key);
      if (bitCount_[bit]++ == 0) keyLive_[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    ++keyCount_[slot];
    idKey_[k] = slot;
  }
}

bool TEndSearch::KeyLive(std::ptrdiff_t e) const {
  const std::ptrdiff_t have = e + 1 + static_cast<std::ptrdiff_t>(tailLen_);
  unsigned char window[KeyLength];
  const unsigned char* last;
  if (e + 1 >= static_cast<std::ptrdiff_t>(KeyLength)) {
    last = data_ + e;
  } else {
    // Straddles the block's start: the bytes before it come from the tail.
    const std::ptrdiff_t n = std::min<std::ptrdiff_t>(have, KeyLength);
    for (std::ptrdiff_t j = 0; j < n; ++j) {
      const std::ptrdiff_t k = e - j;
      window[KeyLength - 1 - j] = k >= 0 ? data_[k] : tail_[tailLen_ + k];
    }
    last = window + KeyLength - 1;
  }
  if (have >= static_cast<std::ptrdiff_t>(KeyLength) && KeyPasses(Key(last, KeyLength))) {
    return true;
  }
  for (std::size_t length = 1; length < KeyLength; ++length) {
    if (shortLength_[length] && static_cast<std::ptrdiff_t>(length) <= have &&
        KeyPasses(Key(last, length))) {
      return true;
    }
  }
  return false;
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
    if (!names[k].empty()) reversed.emplace_back(std::string(names[k].rbegin(), names[k].rend()), k);
  }
  std::sort(reversed.begin(), reversed.end());
  struct Range { std::uint32_t node, lo, hi, depth; };
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
    nodes_[r.node].count = count;
    stack.insert(stack.end(), children.rbegin(), children.rend());
    // A node with more than one child gets a row over the byte classes, so
    // that a step is one load and no search (the end of a walk, where the
    // text leaves the trie, is then its only unforeseen branch), up to a
    // budget.
    if (count > 1 && dense_.size() + classes_ <= DenseBudget) {
      nodes_[r.node].dense = static_cast<std::uint32_t>(dense_.size() / classes_);
      dense_.resize(dense_.size() + classes_, None);
      for (std::uint32_t c = 0; c < count; ++c) {
        const std::uint32_t child = nodes_[r.node].first + c;
        dense_[std::size_t{nodes_[r.node].dense} * classes_ + classOf_[byte_[child]]] = child;
      }
    }
  }
}

namespace {

using Places = std::array<ByteSet, TEndSearch::Depth>;

// The distinct ends of the names (their last Depth bytes, fewer for shorter
// names, which accept any byte beyond their start), sorted by shape (each
// letter as L, each digit as D, other bytes as they are, from the last byte
// back), so that ends alike in kind sit together: a bucket of ends like
// ".CFM" accepts little text, one that mixes letters and digits at every
// place accepts most of it. One group per shape (or per run of shapes,
// past MaxGroups), with the bytes its ends take at each place.
std::vector<Places> ShapeGroups(const std::vector<std::string>& names) {
  constexpr std::size_t Depth = TEndSearch::Depth;
  struct End {
    std::string shape, bytes;
  };
  std::vector<End> ends;
  for (const std::string& name : names) {
    if (name.empty()) continue;
    End e;
    for (std::size_t j = 0; j < Depth; ++j) {
      if (j >= name.size()) {
        e.shape += '\0';  // any byte
        continue;
      }
      const auto c = static_cast<unsigned char>(name[name.size() - 1 - j]);
      e.bytes += static_cast<char>(c);
      e.shape += (c >= 'A' && c <= 'Z') ? 'L' : (c >= '0' && c <= '9') ? 'D' : static_cast<char>(c);
    }
    ends.push_back(std::move(e));
  }
  std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) {
    return a.shape != b.shape ? a.shape < b.shape : a.bytes < b.bytes;
  });
  std::size_t shapes = 0;
  for (std::size_t t = 0; t < ends.size(); ++t) shapes += t == 0 || ends[t].shape != ends[t - 1].shape;
  std::vector<Places> groups;
  std::size_t shape = 0;  // of ends[t]
  for (std::size_t t = 0; t < ends.size(); ++t) {
    if (t > 0 && ends[t].shape != ends[t - 1].shape) ++shape;
    if (groups.size() <= shape * MaxGroups / shapes) groups.emplace_back();
    for (std::size_t j = 0; j < Depth; ++j) {
      if (j < ends[t].bytes.size()) {
        groups.back()[j] |= BothCases(static_cast<unsigned char>(ends[t].bytes[j]));
      } else {
        groups.back()[j].AddAll();
      }
    }
  }
  return groups;
}

// Joins groups until Buckets are left, always the two whose union lets
// through the least more text than they do apart, by the byte weights
// (each place weighed on its own).
std::vector<Places> Join(std::vector<Places> groups, const ByteWeights& bytes, TVectorLevel level) {
  constexpr std::size_t Depth = TEndSearch::Depth;
  const auto chunks = std::make_unique<ChunkWeights>(bytes);
  const ChunkWeights& weights = *chunks;
  auto shareOf = [&](const Places& p) {
    double share = 1;
    for (std::size_t j = 0; j < Depth; ++j) share *= Weight(Accepted(p[j], level), weights);
    return share;
  };
  auto unite = [](const Places& a, const Places& b) {
    Places u;
    for (std::size_t j = 0; j < Depth; ++j) (u[j] = a[j]) |= b[j];
    return u;
  };
  const std::size_t m = groups.size();
  std::vector<double> share(m);
  for (std::size_t g = 0; g < m; ++g) share[g] = shareOf(groups[g]);
  std::vector<double> growth(m * m, 0);  // of joining g and h, g < h
  auto measure = [&](std::size_t g, std::size_t h) {
    growth[g * m + h] = shareOf(unite(groups[g], groups[h])) - share[g] - share[h];
  };
  std::vector<char> alive(m, 1);
  for (std::size_t g = 0; g < m; ++g) {
    for (std::size_t h = g + 1; h < m; ++h) measure(g, h);
  }
  for (std::size_t left = m; left > TEndSearch::Buckets; --left) {
    std::size_t bestG = 0, bestH = 0;
    double least = 1e300;
    for (std::size_t g = 0; g < m; ++g) {
      for (std::size_t h = g + 1; h < m && alive[g]; ++h) {
        if (alive[h] && growth[g * m + h] < least) {
          least = growth[g * m + h];
          bestG = g;
          bestH = h;
        }
      }
    }
    groups[bestG] = unite(groups[bestG], groups[bestH]);
    share[bestG] = shareOf(groups[bestG]);
    alive[bestH] = 0;
    for (std::size_t g = 0; g < m; ++g) {
      if (alive[g] && g != bestG) measure(std::min(g, bestG), std::max(g, bestG));
    }
  }
  std::vector<Places> buckets;
  for (std::size_t g = 0; g < m; ++g) {
    if (alive[g]) buckets.push_back(groups[g]);
  }
  return buckets;
}

// How many places of sample buckets let through (by whole bytes).
std::size_t SamplePasses(const std::vector<Places>& buckets, const std::vector<unsigned char>& sample) {
  constexpr std::size_t Depth = TEndSearch::Depth;
  unsigned char bits[Depth][256] = {};
  for (std::size_t b = 0; b < buckets.size(); ++b) {
    for (std::size_t j = 0; j < Depth; ++j) {
      for (int c = 0; c < 256; ++c) {
        if (buckets[b][j][c]) bits[j][c] = static_cast<unsigned char>(bits[j][c] | 1u << b);
      }
    }
  }
  std::size_t passes = 0;
  for (std::size_t e = Depth - 1; e < sample.size(); ++e) {
    unsigned char x = 0xff;
    for (std::size_t j = 0; j < Depth; ++j) x &= bits[j][sample[e - j]];
    passes += x != 0;
  }
  return passes;
}

}  // namespace

// Bucket filling: the names' ends in groups by shape, joined into buckets by
// each of the weights given; where there are several, the joining that lets
// through the fewest places of the sampled text wins (weighing each place on
// its own misjudges text where, say, numbered words abound, and a guess of
// the bytes can be as wrong as what the samples show).
void TEndSearch::BuildFilter(const std::vector<std::string>& names,
                             const std::vector<ByteWeights>& choices) {
  const std::vector<Places> groups = ShapeGroups(names);
  std::vector<Places> best;
  std::size_t fewest = SIZE_MAX;
  for (const ByteWeights& weights : choices) {
    std::vector<Places> buckets = Join(groups, weights, level_);
    if (choices.size() == 1) {
      best = std::move(buckets);
      break;
    }
    const std::size_t passes = SamplePasses(buckets, sample_);
    if (passes < fewest) {
      fewest = passes;
      best = std::move(buckets);
    }
  }
  std::memset(byteBits_, 0, sizeof byteBits_);
  std::memset(low_, 0, sizeof low_);
  std::memset(high_, 0, sizeof high_);
  std::memset(sixBits_, 0, sizeof sixBits_);
  for (std::size_t b = 0; b < best.size(); ++b) {
    const auto bit = static_cast<unsigned char>(1u << b);
    for (std::size_t j = 0; j < Depth; ++j) {
      for (int c = 0; c < 256; ++c) {
        if (!best[b][j][c]) continue;
        byteBits_[j][c] |= bit;
        low_[j][c & 15] |= bit;
        high_[j][c >> 4] |= bit;
        if (c < 0x80 && Fold.to[c] == c) sixBits_[j][c & 63] |= bit;
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
  Refilter();
  found_.clear();
  tailLen_ = 0;
}

// The walks need not reach id again: the nodes on its path lose one live
// name each, and its key one count.
void TEndSearch::Retire(std::uint32_t id) {
  if (id >= retired_.size() || idNode_[id] == None || retired_[id] != Live) return;
  retired_[id] = Retiring;
  retiring_.push_back(id);
  ++retiredSince_;
  const std::uint32_t slot = idKey_[id];
  if (--keyCount_[slot] == 0) {
    const std::uint64_t bit = Bit(keys_[slot]);
    if (--bitCount_[bit] == 0) keyLive_[bit / 64] &= ~(std::uint64_t{1} << (bit % 64));
  }
  for (std::uint32_t node = idNode_[id]; node != None; node = parent_[node]) --nodes_[node].live;
}

void TEndSearch::AppendFound(std::vector<std::uint32_t>& found) const {
  found.insert(found.end(), found_.begin(), found_.end());
}

std::uint32_t TEndSearch::Child(std::uint32_t node, unsigned char byte) const {
  const Node& n = nodes_[node];
  if (n.dense != None) return dense_[std::size_t{n.dense} * classes_ + classOf_[byte]];
  for (std::uint32_t c = n.first; c < n.first + n.count; ++c) {
    if (byte_[c] == byte) return c;
  }
  return None;
}

void TEndSearch::Report(const Node& node, const unsigned char* end) {
  for (std::uint32_t j = node.outStart; j < node.outEnd; ++j) {
    const std::uint32_t id = outIds_[j];
    if (retired_[id] != Live) continue;  // found already, if in this text
    if (stamp_[id] != generation_) {
      stamp_[id] = generation_;
      found_.push_back(id);
    }
    if (positional_[id] && sink_ != nullptr && !sink_->OnMatch(id, end)) Retire(id);
  }
}

// Every name ending with the byte at index e of the block: the reversed
// names that the bytes from there backwards spell, into the kept tail.
void TEndSearch::Verify(std::ptrdiff_t e) {
  if (!KeyLive(e)) {
    ++wasted_;
    return;
  }
  const unsigned char* const end = data_ + e + 1;
  const std::ptrdiff_t lowest = -static_cast<std::ptrdiff_t>(tailLen_);
  std::uint32_t node = 0;
  for (std::ptrdiff_t k = e; k >= lowest; --k) {
    const unsigned char c = k >= 0 ? data_[k] : tail_[tailLen_ + k];
    node = Child(node, Fold.to[c]);
    if (node == None) return;
    const Node& n = nodes_[node];
    if (n.live == 0) return;
    if (n.outStart != n.outEnd) Report(n, end);
  }
}

bool TEndSearch::Passes(std::ptrdiff_t e) const {
  unsigned char bits = 0xff;
  for (std::size_t j = 0; j < Depth; ++j) {
    const std::ptrdiff_t k = e - static_cast<std::ptrdiff_t>(j);
    if (k < -static_cast<std::ptrdiff_t>(tailLen_)) break;  // before the text: nothing to rule out
    bits &= byteBits_[j][k >= 0 ? data_[k] : tail_[tailLen_ + k]];
  }
  return bits != 0;
}

void TEndSearch::Scalar(std::size_t from, std::size_t to) {
  for (std::size_t e = from; e < to; ++e) {
    if (Passes(static_cast<std::ptrdiff_t>(e))) Verify(static_cast<std::ptrdiff_t>(e));
  }
}

// The places that passed the vector filter in count steps of width places
// from from on, one by one; steps marked wide go through the scalar filter.
void TEndSearch::CheckSteps(std::size_t from, std::size_t count, std::size_t width) {
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t e = from + k * width;
    if (wide_[k]) [[unlikely]] {
      Scalar(e, e + width);
      continue;
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
__attribute__((target("avx2"))) std::size_t TEndSearch::Vector256(std::size_t from, std::size_t to) {
  if (to < from + 32) return from;
  const std::size_t count = (to - from) / 32;
  steps_.resize(count);
  wide_.assign(count, 0);
  const __m256i nibble = _mm256_set1_epi8(0x0f);
  __m256i low[Depth], high[Depth];
  for (std::size_t j = 0; j < Depth; ++j) {
    low[j] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(low_[j])));
    high[j] = _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(high_[j])));
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
// lookup one permute of the folded bytes through the place's 64-entry table
// of bucket bits, indexed by their low six bits. Folded bytes below 0x80
// that share those bits are few and rare in text (tab, line feed and
// carriage return with I, J and M; "{" and ";"), and accepting one for the
// other only lets a place through to the exact check. A step whose window
// holds a byte >= 0x80 goes through the scalar filter, which is exact for all.
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

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::size_t TEndSearch::Vector512(
    std::size_t from, std::size_t to) {
  if (to < from + 64) return from;
  const std::size_t count = (to - from) / 64;
  steps_.resize(count);
  wide_.resize(count);
  FoldBlock(to);
  __m512i table[Depth];
  for (std::size_t j = 0; j < Depth; ++j) table[j] = _mm512_load_si512(sixBits_[j]);
  const unsigned char* const data = foldedData_ + from;
  std::uint64_t* const steps = steps_.data();
  char* const wide = wide_.data();
  for (std::size_t k = 0; k < count; ++k) {
    const unsigned char* const at = data + k * 64;
    __m512i bits = _mm512_set1_epi8(-1);
    __mmask64 high = 0;
    for (std::size_t j = 0; j < Depth; ++j) {
      const __m512i v = _mm512_loadu_si512(at - j);
      if (j == 0 || j + 1 == Depth) high |= _mm512_movepi8_mask(v);
      bits = _mm512_and_si512(bits, _mm512_maskz_permutexvar_epi8(~__mmask64{0}, v, table[j]));
    }
    steps[k] = _mm512_test_epi8_mask(bits, bits);
    wide[k] = high != 0;
  }
  CheckSteps(from, count, 64);
  return from + count * 64;
}
#else
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

void TEndSearch::Feed(const unsigned char* data, std::size_t size, TMatchSink* sink, bool folded) {
  data_ = data;
  sink_ = sink;
  foldedData_ = folded ? data : nullptr;
  // The start of every eighth block, for the weights of a new filter, and
  // kept as a sample to try filters on.
  if (fedBlocks_++ % 8 == 0) {
    const std::size_t n = std::min<std::size_t>(size, SampleChunk);
    for (std::size_t i = 0; i < n; ++i) ++seen_[data[i]];
    if (sample_.size() < SampleBytes) {
      sample_.insert(sample_.end(), data, data + n);
    } else {
      std::memcpy(sample_.data() + sampleNext_, data, std::min(n, SampleBytes - sampleNext_));
      sampleNext_ = (sampleNext_ + SampleChunk) % SampleBytes;
    }
  }
  // Windows that reach before the block, then whole steps, then the rest.
  const std::size_t head = std::min(size, Depth - 1);
  Scalar(0, head);
  std::size_t e = head;
  if (level_ == TVectorLevel::Avx512) e = Vector512(e, size);
  if (level_ >= TVectorLevel::Avx2) e = Vector256(e, size);
  Scalar(e, size);
  KeepTail(data, size);
  sink_ = nullptr;
  data_ = nullptr;
  foldedData_ = nullptr;
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

}  // namespace analysis

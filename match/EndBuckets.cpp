#include "match/EndBuckets.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace match {

TByteWeights::TByteWeights() {
  double sum = 0;
  for (int c = 0; c < 256; ++c) {
    double x = 0.3;                      // controls, bytes >= 0x80
    if (c >= 0x21 && c < 0x7f) x = 1.5;  // other punctuation
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

TByteWeights::TByteWeights(const std::uint64_t (&seen)[256]) : TByteWeights() {
  double total = 0;
  for (std::uint64_t n : seen) total += static_cast<double>(n);
  if (total == 0) return;
  for (int c = 0; c < 256; ++c) w[c] = 0.1 * w[c] + 0.9 * static_cast<double>(seen[c]) / total;
}

namespace {

// The bytes a filter lookup accepts when told to accept set: with nibble
// tables (AVX2), every byte whose low and whose high nibble occur in set;
// else set itself.
TByteSet Accepted(const TByteSet& set, TVectorLevel level) {
  if (level != TVectorLevel::Avx2) return set;
  // The set as 16 rows of 16 bits, one row per high nibble, a bit per low
  // nibble: the accepted rows are those of the high nibbles in use, each
  // holding every low nibble in use.
  std::uint64_t lows = 0, highs = 0;
  for (int row = 0; row < 16; ++row) {
    const std::uint64_t bits = set.w[row / 4] >> (16 * (row % 4)) & 0xffff;
    lows |= bits;
    if (bits != 0) highs |= std::uint64_t{1} << row;
  }
  TByteSet out;
  for (int row = 0; row < 16; ++row) {
    if (highs >> row & 1) out.w[row / 4] |= lows << (16 * (row % 4));
  }
  return out;
}

// The weights of every subset of each run of eight bytes, so that a set's
// weight is 32 lookups (the filling weighs many sets).
struct ChunkWeights {
  double t[32][256] = {};
  explicit ChunkWeights(const TByteWeights& bytes) {
    for (int k = 0; k < 32; ++k) {
      for (int m = 1; m < 256; ++m) {
        const int low = __builtin_ctz(static_cast<unsigned>(m));
        t[k][m] = t[k][m & (m - 1)] + bytes.w[8 * k + low];
      }
    }
  }
};

double Weight(const TByteSet& set, const ChunkWeights& w) {
  double sum = 0;
  for (int k = 0; k < 32; ++k) sum += w.t[k][set.w[k / 8] >> (8 * (k % 8)) & 0xff];
  return sum;
}

// Byte c, and its lower case for a letter.
TByteSet BothCases(unsigned char c) {
  TByteSet s;
  s.Add(c);
  if (c >= 'A' && c <= 'Z') s.Add(c + 32);
  return s;
}

// Joinings tried again from what the sample shows, at most, while more than
// one place in MaxShare gets through; how much more the bytes of those
// places weigh in the next one.
constexpr int Rounds = 3;
constexpr std::size_t MaxShare = 256;
constexpr double Boost = 16;
// Fewer bytes of sample than this tell too little of the text.
constexpr std::size_t MinSample = 4096;

// At most this many groups of ends go into the joining (more are joined in
// sorted order first), which bounds the build's cost.
constexpr std::size_t MaxGroups = 48;
// How far apart in the shape order two groups may be and still be joined.
constexpr std::size_t Reach = 4;

// The distinct ends of the names (their last Depth bytes, fewer for shorter
// names, which accept any byte beyond their start), sorted by shape (each
// letter as L, each digit as D, other bytes as they are, from the last byte
// back), so that ends alike in kind sit together: a bucket of ends like
// ".CFM" accepts little text, one that mixes letters and digits at every
// place accepts most of it. One group per shape (or per run of shapes,
// past MaxGroups), with the bytes its ends take at each place.
std::vector<TEndPlaces> ShapeGroups(const std::vector<std::string>& names) {
  constexpr std::size_t Depth = EndDepth;
  // Held in place, not as strings: a build sorts one per name.
  struct End {
    std::array<unsigned char, Depth> shape;  // 0 past the name's start: any byte
    std::array<unsigned char, Depth> bytes;  // the first length of them
    std::size_t length;
  };
  std::vector<End> ends;
  ends.reserve(names.size());
  for (const std::string& name : names) {
    if (name.empty()) continue;
    End e{};
    e.length = std::min(Depth, name.size());
    for (std::size_t j = 0; j < e.length; ++j) {
      const auto c = static_cast<unsigned char>(name[name.size() - 1 - j]);
      e.bytes[j] = c;
      e.shape[j] = (c >= 'A' && c <= 'Z') ? 'L' : (c >= '0' && c <= '9') ? 'D' : c;
    }
    ends.push_back(e);
  }
  // By shape, then by bytes (a shorter run of bytes first where one starts
  // the other).
  std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) {
    if (const int s = std::memcmp(a.shape.data(), b.shape.data(), Depth); s != 0) return s < 0;
    const int c = std::memcmp(a.bytes.data(), b.bytes.data(), std::min(a.length, b.length));
    return c != 0 ? c < 0 : a.length < b.length;
  });
  auto sameShape = [](const End& a, const End& b) {
    return std::memcmp(a.shape.data(), b.shape.data(), Depth) == 0;
  };
  std::size_t shapes = 0;
  for (std::size_t t = 0; t < ends.size(); ++t) shapes += t == 0 || !sameShape(ends[t], ends[t - 1]);
  std::vector<TEndPlaces> groups;
  std::size_t shape = 0;  // of ends[t]
  for (std::size_t t = 0; t < ends.size(); ++t) {
    if (t > 0 && !sameShape(ends[t], ends[t - 1])) ++shape;
    if (groups.size() <= shape * MaxGroups / shapes) groups.emplace_back();
    for (std::size_t j = 0; j < Depth; ++j) {
      if (j < ends[t].length) {
        groups.back()[j] |= BothCases(ends[t].bytes[j]);
      } else {
        groups.back()[j].AddAll();
      }
    }
  }
  return groups;
}

// Joins groups until count are left, always the two whose union lets
// through the least more text than they do apart, by the byte weights (each
// place weighed on its own). Only groups at most Reach apart in the shape
// order are candidates: ends alike in kind sit close in it, and it keeps a
// joining at O(MaxGroups * Reach) unions to weigh instead of every pair
// after every join.
TEndFilling Join(const std::vector<TEndPlaces>& groups, std::size_t count,
                 const TByteWeights& bytes, TVectorLevel level) {
  constexpr std::size_t Depth = EndDepth;
  const auto chunks = std::make_unique<ChunkWeights>(bytes);
  const ChunkWeights& weights = *chunks;
  auto shareOf = [&](const TEndPlaces& p) {
    double share = 1;
    for (std::size_t j = 0; j < Depth; ++j) share *= Weight(Accepted(p[j], level), weights);
    return share;
  };
  auto unite = [](const TEndPlaces& a, const TEndPlaces& b) {
    TEndPlaces u;
    for (std::size_t j = 0; j < Depth; ++j) (u[j] = a[j]) |= b[j];
    return u;
  };
  // The groups still apart, in shape order; for each, the growth of joining
  // it with each of the next Reach (NaN: not weighed since it changed).
  struct Group {
    TEndPlaces places;
    double share;
    std::array<double, Reach> growth;
  };
  std::vector<Group> apart;
  for (const TEndPlaces& g : groups) {
    apart.push_back({g, shareOf(g), {}});
    apart.back().growth.fill(std::nan(""));
  }
  while (apart.size() > count) {
    std::size_t bestG = 0, bestD = 1;
    double least = std::numeric_limits<double>::infinity();
    for (std::size_t g = 0; g < apart.size(); ++g) {
      for (std::size_t d = 1; d <= Reach && g + d < apart.size(); ++d) {
        double& growth = apart[g].growth[d - 1];
        if (std::isnan(growth)) {
          growth = shareOf(unite(apart[g].places, apart[g + d].places)) - apart[g].share -
                   apart[g + d].share;
        }
        if (growth < least) {
          least = growth;
          bestG = g;
          bestD = d;
        }
      }
    }
    Group& joined = apart[bestG];
    joined.places = unite(joined.places, apart[bestG + bestD].places);
    joined.share = shareOf(joined.places);
    apart.erase(apart.begin() + static_cast<std::ptrdiff_t>(bestG + bestD));
    // Every pair with the joined group changed, and so did the pairs
    // reaching across the gap the erased one left (at index gap now).
    const std::size_t gap = bestG + bestD;
    for (std::size_t g = bestG >= Reach ? bestG - Reach : 0; g < gap && g < apart.size(); ++g) {
      for (std::size_t d = 1; d <= Reach; ++d) {
        if (g + d >= bestG) apart[g].growth[d - 1] = std::nan("");
      }
    }
  }
  TEndFilling filling;
  for (const Group& g : apart) {
    filling.buckets.push_back(g.places);
    filling.share += g.share;
  }
  return filling;
}

// How many places of sample buckets let through (by whole bytes); each
// byte of their windows is counted in hits, when given.
std::size_t SamplePasses(const std::vector<TEndPlaces>& buckets,
                         const std::vector<unsigned char>& sample, double* hits = nullptr) {
  constexpr std::size_t Depth = EndDepth;
  std::uint16_t bits[Depth][256] = {};
  for (std::size_t b = 0; b < buckets.size(); ++b) {
    for (std::size_t j = 0; j < Depth; ++j) {
      for (int c = 0; c < 256; ++c) {
        if (buckets[b][j].Has(c)) bits[j][c] = static_cast<std::uint16_t>(bits[j][c] | 1u << b);
      }
    }
  }
  std::size_t passes = 0;
  for (std::size_t e = Depth - 1; e < sample.size(); ++e) {
    unsigned x = 0xffff;
    for (std::size_t j = 0; j < Depth; ++j) x &= bits[j][sample[e - j]];
    if (x == 0) continue;
    ++passes;
    if (hits != nullptr) {
      for (std::size_t j = 0; j < Depth; ++j) hits[sample[e - j]] += 1;
    }
  }
  return passes;
}

}  // namespace

TEndFilling FillEndBuckets(const std::vector<std::string>& names,
                           const std::vector<TByteWeights>& choices, TVectorLevel level,
                           const std::vector<unsigned char>& sample) {
  const std::vector<TEndPlaces> groups = ShapeGroups(names);
  const std::size_t count = level == TVectorLevel::Avx512 ? EndBuckets : EndBuckets / 2;
  // Too short a sample to judge by: the weights alone.
  if (sample.size() < MinSample) return Join(groups, count, choices.front(), level);
  TEndFilling best;
  TByteWeights weights;
  std::size_t fewest = SIZE_MAX;
  for (const TByteWeights& choice : choices) {
    TEndFilling filling = Join(groups, count, choice, level);
    const std::size_t passes = SamplePasses(filling.buckets, sample);
    if (passes < fewest) {
      fewest = passes;
      best = std::move(filling);
      weights = choice;
    }
  }
  // While more than one place in MaxShare of the sample gets through, the
  // bytes of the places that do weigh more in another joining (weighing
  // each place on its own misses which bytes come together, such as words
  // with numbers).
  for (int round = 0; round < Rounds && fewest * MaxShare > sample.size(); ++round) {
    double hits[256] = {};
    SamplePasses(best.buckets, sample, hits);
    double sum = 0;
    for (int c = 0; c < 256; ++c) {
      weights.w[c] *= 1 + Boost * hits[c] / static_cast<double>(fewest * EndDepth);
      sum += weights.w[c];
    }
    for (double& w : weights.w) w /= sum;
    TEndFilling filling = Join(groups, count, weights, level);
    const std::size_t passes = SamplePasses(filling.buckets, sample);
    if (passes < fewest) {
      fewest = passes;
      best = std::move(filling);
    }
  }
  best.share = static_cast<double>(fewest) / static_cast<double>(sample.size() - (EndDepth - 1));
  return best;
}

}  // namespace match

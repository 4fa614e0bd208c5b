#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "match/VectorLevel.h"

// The bucket filling of the name matcher's vector filter (see EndSearch.h):
// which ends of names share a bucket, so that the filter, which tells per
// bucket and place back from a position which bytes may stand there, lets
// through as little text as it can.
namespace match {

constexpr std::size_t EndDepth = 6;     // bytes of each name's end looked at
constexpr std::size_t EndBuckets = 16;  // at most; one bit each in the filter's lookups

// A set of bytes, as four words of bits.
struct TByteSet {
  std::uint64_t w[4] = {};
  bool Has(int c) const { return (w[c >> 6] >> (c & 63) & 1) != 0; }
  void Add(int c) { w[c >> 6] |= std::uint64_t{1} << (c & 63); }
  void AddAll() {
    for (std::uint64_t& x : w) x = ~std::uint64_t{0};
  }
  TByteSet& operator|=(const TByteSet& o) {
    for (int k = 0; k < 4; ++k) w[k] |= o.w[k];
    return *this;
  }
};

// Per place j back from a position (0: the byte just before it), the bytes
// a bucket accepts there.
using TEndPlaces = std::array<TByteSet, EndDepth>;

// How often each byte occurs in the text (relative weights): what the bucket
// filling keeps out of the filter. At first a rough guess for the pages,
// scripts and style sheets of a web site; later what samples of the text
// read so far show, with a tenth of the guess mixed in.
struct TByteWeights {
  double w[256] = {};
  TByteWeights();
  // From counts of the bytes of samples.
  explicit TByteWeights(const std::uint64_t (&seen)[256]);
};

// The buckets of a filter, and the share of the text's places they are
// expected to let through: by the sample, when there is one, else by the
// byte weights (each place weighed on its own, the buckets' shares added).
struct TEndFilling {
  std::vector<TEndPlaces> buckets;
  double share = 0;
};

// The buckets (at most EndBuckets: 16 for the AVX-512 filter, whose lookups
// are cheap enough to make two per place, 8 for the others) for the folded
// names (empty ones left out). The ends are grouped by shape and the groups joined into buckets
// once by each of the weights given; where there are several, the joining
// that lets through the fewest places of sample wins (weighing each place on
// its own misjudges text where, say, numbered words abound, and a guess of
// the bytes can be as wrong as what a sample shows). level: the filter's
// lookups (the AVX2 one accepts more bytes than it is told).
// Cost: O(n log n) in the n names (sorting their ends), plus a constant
// share: joinings of a bounded number of groups, each weighing a bounded
// number of candidate pairs (MaxGroups and Reach in EndBuckets.cpp), and a
// few passes over the sample, which is bounded too.
TEndFilling FillEndBuckets(const std::vector<std::string>& names,
                           const std::vector<TByteWeights>& choices, TVectorLevel level,
                           const std::vector<unsigned char>& sample);

}  // namespace match

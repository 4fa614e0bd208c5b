#pragma once
#include <cstddef>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "match/EndBuckets.h"
#include "match/EndKeys.h"
#include "match/NameMatcher.h"
#include "match/VectorLevel.h"

namespace match {

// TEndSearch: the name matcher's vector path (see NameMatcher.h for what is
// found and reported). It finds the places where names end instead of
// walking an automaton over every byte.
//
// How, in three stages:
// - A filter looks at the last Depth bytes before each position, 64 or 32
//   positions per step. The names' ends are sorted into buckets
//   (EndBuckets.h), and for each bucket and each of those places the filter
//   knows which bytes may stand there: one table lookup per place turns the
//   text bytes into bytes of bucket bits, and the and of the places leaves a
//   bit only where every byte fits some name of that bucket (the "Teddy"
//   technique, here on the ends of the names). With AVX-512 VBMI the block is
//   first folded (a-z to A-Z; the caller may have done so), there are 16
//   buckets, and a lookup is two byte permutes of the folded bytes through
//   64-entry tables, indexed by their low six bits (a step holding a byte >=
//   0x80 again through whole 256-entry tables); with AVX2 there are 8, and each
//   byte is split into nibbles, each shuffled through a 16-entry table and
//   the two and-ed, which accepts every byte whose low and high nibble some
//   accepted byte has.
// - The places it lets through are checked against the exact last bytes of
//   the live names (EndKeys.h).
// - What is left is checked exactly by walking back through a trie of the
//   reversed names, which meets every name that ends there and nothing else.
//
// Retired names (see TNameMatcher::Retire) leave the trie walks and the
// second filter at once. The filter itself is built again over the live
// names (and from the samples of the text so far) only between texts, at
// the end of a window of WindowBytes fed, once RefilterAfter places that no
// live name ends got through, and at most MaxFilterBuilds times in all
// (the first build included). So a run pays for a constant number of
// builds, each O(n log n) in the n names (EndBuckets.h), and every rebuild
// follows a whole window of scanned text. More would not pay: on a site of
// thousands of names a build costs what scanning a few hundred KiB does,
// and later builds weigh much the same samples as the earlier ones.
//
// Where even the best filter lets through so much of the text that checking
// its places costs more than walking the automaton over every byte (names
// of two letters, ends that are common words), the search says so
// (PassesTooMuch) and the matcher goes back to the automaton. It is judged
// by what each build expects its filter to pass (by the samples, or by the
// guessed byte weights before there are any) and by what the filter passed
// over each window: more than one place in MaxPassShare is too much. A
// place let through costs a hash probe and often a trie step, some tens of
// nanoseconds, a byte of the automaton's walk a few; from one place in
// sixteen on, the checks alone cost a good part of the walk.
//
// Within a text, the search gives way as well, as soon as its work there
// (TNameMatcher::Work's steps) exceeds the text's bytes by TextSlack: one
// step per byte is what the automaton spends, and no text, however built
// against the filter (a name of 250 "a"s in a text of "a"s lets through
// every place, and each walks back 250 steps), costs more than that. Feed
// then stops early and says where; the matcher takes the rest of the text
// and every text after it to the automaton.
//
// The bytes before the block are kept (as many as the longest name needs), so
// that names and filter windows straddling blocks are found. Positions whose
// window reaches before the block, and those after the last whole step, go
// through the same filter byte by byte.
//
// Owned by the matcher that built it; not shared between threads.
class TEndSearch {
 public:
  static constexpr std::size_t Depth = EndDepth;
  static constexpr std::size_t Buckets = EndBuckets;

  // The best level this processor runs.
  static TVectorLevel Supported();

  // level: the filter's instructions (None: the scalar filter alone).
  // names[k]: the folded (A-Z for a-z) name with id k; empty names are never
  // found here. positional[k]: its places are reported, until the sink
  // declines one (see TNameMatcher's retirement rule). judge: whether the
  // filter is judged (PassesTooMuch); if not, the search keeps to it
  // whatever it lets through (for tests of this path over hard texts).
  TEndSearch(TVectorLevel level, const std::vector<std::string>& names,
             const std::vector<bool>& positional, const TWordEnds& wordEnds, bool judge = true);

  // Starts a new text; also where the filter is built again and the pass
  // rate judged, between texts.
  void Start();
  // folded: data has a-z folded to A-Z already. Returns how many of the
  // bytes it dealt with: size, unless the text costs too much (see above);
  // then every place ending in the bytes before that count was dealt with,
  // and none after, and the search is not to be fed again.
  std::size_t Feed(const unsigned char* data, std::size_t size, TMatchSink* sink,
                   bool folded = false);
  // The text's last bytes before data + done (as many as the longest name
  // has, at most), during the Feed of data that stopped at done.
  void TextBefore(const unsigned char* data, std::size_t done, std::vector<unsigned char>& out) const;
  // Folds a-z to A-Z in place (AVX-512 where the processor has it).
  static void FoldInPlace(unsigned char* data, std::size_t size);
  // Name id is neither reported nor found from now on.
  void Retire(std::uint32_t id);
  TVectorLevel Level() const { return level_; }
  // Appends the ids found since Start, each once.
  void AppendFound(std::vector<std::uint32_t>& found) const;
  // Whether name id has not been retired.
  bool IsLive(std::uint32_t id) const { return retired_[id] == Live; }
  // Whether name id was retired before the current text.
  bool IsGone(std::uint32_t id) const { return retired_[id] == Gone; }
  // The steps of work done (see TNameMatcher::Work).
  std::uint64_t Work() const { return work_ + textWork_; }
  // Whether the filter lets through more than one place in MaxPassShare:
  // as its build expects it to, or as the last whole window of text fed
  // showed (judged at Start). A search built so is never to be fed.
  bool PassesTooMuch() const { return passesTooMuch_; }
  // How often the filter was built, the first build included.
  std::size_t FilterBuilds() const { return builds_; }

  // The bounds of the judging and rebuilding described above.
  static constexpr std::size_t MaxFilterBuilds = 4;
  static constexpr std::size_t WindowBytes = std::size_t{1} << 18;
  static constexpr std::size_t MaxPassShare = 16;
  // A place let through costs about this many steps (a hash probe), and a
  // text may take this many steps more than its bytes before the search
  // gives way within it.
  static constexpr std::size_t PlaceSteps = 4;
  static constexpr std::size_t TextSlack = std::size_t{1} << 16;

 private:
  static constexpr std::uint32_t None = UINT32_MAX;
  // A trie node: its children are nodes first .. first + count - 1, sorted
  // by the byte that leads into them (byte_); names that end here (read
  // backwards from the place) are outIds_[outStart .. outEnd).
  struct Node {
    std::uint32_t first = 0;
    std::uint16_t count = 0;  // at most 256
    // How many nodes after this one each lead on to the next as their
    // parent's only child, no name ending at any but the last (at most
    // 65535): a walk compares their bytes (byte_) with the text's without
    // reading their records.
    std::uint16_t skip = 0;
    std::uint32_t outStart = 0;
    std::uint32_t outEnd = 0;
    // How a child is found: with one child, the byte leading into it; with
    // up to Few, the index of their bytes in few_; with more, the row of
    // dense_ (None: over budget, byte_ is searched).
    std::uint32_t find = None;
    // Names at or below this node not yet retired: a walk that reaches a
    // node with none stops there.
    std::uint32_t live = 0;
  };
  static constexpr std::size_t Few = 16;
  // Per id: live, retired during the current text (no longer reported, and
  // found only if it was before), or retired in an earlier text (neither).
  enum : char { Live, Retiring, Gone };

  void BuildTrie(const std::vector<std::string>& names);
  // Installs the buckets of names in the filter's tables.
  void BuildFilter(const std::vector<std::string>& names, const std::vector<TByteWeights>& choices);
  void Refilter();
  void Sample(const unsigned char* data, std::size_t size);
  // Whether some live name ends with the bytes of the place ending at
  // index e, by the second filter.
  bool KeyLive(std::ptrdiff_t e) const;
  std::uint32_t Child(std::uint32_t node, unsigned char byte) const;
  // Whether the filter lets the place ending with the byte at index e pass.
  bool Passes(std::ptrdiff_t e) const;
  void Scalar(std::size_t from, std::size_t to);
  // Whether the work of the text so far, with its places up to index e of
  // the block dealt with, is more than the automaton's.
  bool TooCostly(std::size_t e) const {
    return judge_ && textWork_ > textFed_ + e + TextSlack;
  }
  // Whole steps from from on; returns where they end. Each first runs the
  // filter over all its steps, keeping the places that pass as bits in
  // steps_, then checks them: the filter's loop makes no calls (but for
  // steps holding bytes >= 0x80), so its tables stay in registers.
  std::size_t Vector256(std::size_t from, std::size_t to);
  std::size_t Vector512(std::size_t from, std::size_t to);
  std::uint64_t Exact512(const unsigned char* at) const;
  void FoldBlock(std::size_t size);
  static void Fold512(const unsigned char* from, unsigned char* to, std::size_t size);
  void CheckSteps(std::size_t from, std::size_t count, std::size_t width);
  void Verify(std::ptrdiff_t e);
  void Report(const Node& node, const unsigned char* end, int before);
  void KeepTail(const unsigned char* data, std::size_t size);

  TVectorLevel level_ = TVectorLevel::None;
  bool judge_ = true;

  // The filter: per place j back from the end (0: the last byte), the
  // bucket bits of each whole byte, and of each low nibble and each high
  // nibble; and for the AVX-512 filter, which reads folded text, of each
  // byte's low six bits, or-ed over the bytes below 0x80 that share them (so
  // a byte is accepted where any of them is).
  // (The AVX2 filter has 8 buckets, the others 16: the six-bit tables come
  // in two halves, buckets 0 to 7 and 8 to 15.)
  alignas(64) std::uint16_t byteBits_[Depth][256] = {};
  alignas(16) unsigned char low_[Depth][16] = {};
  alignas(16) unsigned char high_[Depth][16] = {};
  alignas(64) unsigned char sixBits_[2][Depth][64] = {};
  alignas(64) unsigned char exact_[2][Depth][256] = {};  // byteBits_ by halves
  std::vector<unsigned char> folded_;          // the block being fed, folded
  const unsigned char* foldedData_ = nullptr;  // folded_, or the block itself
  std::vector<std::uint64_t> steps_;           // vector steps: places that pass

  TEndKeys keys_;  // the second filter

  // What decides when the filter is built again, and from what: the names
  // (folded; retired ones emptied at each build), names retired since the
  // last build, places let through since then that no live name ends, and
  // samples of the text (the start of every eighth block): their bytes
  // counted, and themselves, up to SampleBytes, the oldest chunk replaced.
  static constexpr std::size_t RefilterAfter = std::size_t{1} << 14;
  static constexpr std::size_t SampleChunk = 4096;
  static constexpr std::size_t SampleBytes = 16 * SampleChunk;
  std::vector<std::string> names_;
  std::size_t retiredSince_ = 0;
  std::size_t wasted_ = 0;
  bool measured_ = false;  // a filter was built from the samples
  std::uint64_t seen_[256] = {};
  std::vector<unsigned char> sample_;
  std::size_t sampleNext_ = 0;
  std::size_t fedBlocks_ = 0;
  std::size_t builds_ = 0;
  // The work: of the texts before, and of this one; its bytes before the
  // current block; where Feed stopped (None: it did not).
  std::uint64_t work_ = 0;
  std::uint64_t textWork_ = 0;
  std::uint64_t textFed_ = 0;
  std::size_t stopped_ = None;
  TWordEnds wordEnds_;
  // The pass rate of the current window: bytes fed, places let through.
  std::size_t windowFed_ = 0;
  std::size_t windowPassed_ = 0;
  bool passesTooMuch_ = false;

  // The trie.
  std::vector<Node> nodes_;          // root first, then depth first
  std::vector<unsigned char> byte_;  // by node: the byte leading into it
  // The bytes of the children of nodes with 2 to Few, Few per node (the
  // rest zero): a few hundred KiB where the rows below would take MiBs, so
  // that a walk's step finds its child in a cache rather than in memory.
  std::vector<std::array<unsigned char, Few>> few_;
  // Rows of classes_ entries: the child for each byte class (None: none).
  static constexpr std::size_t DenseBudget = std::size_t{1} << 22;
  std::vector<std::uint32_t> dense_;
  unsigned char classOf_[256] = {};
  std::uint32_t classes_ = 1;
  std::vector<std::uint32_t> outIds_;
  std::vector<std::uint32_t> parent_;  // by node (the root's: None)
  std::vector<std::uint32_t> idNode_;  // by id: the node where it ends (None: empty)

  // The names' state.
  std::vector<char> positional_, retired_;
  std::vector<std::uint32_t> retiring_;  // ids retired during the current text
  std::vector<std::uint32_t> stamp_;     // generation in which id was found
  std::vector<std::uint32_t> found_;
  std::uint32_t generation_ = 1;

  // The text's last bytes before the current block.
  std::vector<unsigned char> tail_;
  std::size_t tailLen_ = 0;
  // During Feed.
  const unsigned char* data_ = nullptr;
  const unsigned char* dataEnd_ = nullptr;
  TMatchSink* sink_ = nullptr;
};

}  // namespace match

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace analysis {

class TMatchSink;
struct ByteWeights;

// The vector instructions the name matcher may use, from none (the portable
// automaton) up.
enum class TVectorLevel { None, Avx2, Avx512 };

// TEndSearch: the name matcher's vector path (see NameMatcher.h for what is
// found and reported). It finds the places where names end instead of
// walking an automaton over every byte.
//
// How: a filter looks at the last Depth bytes before each position, 64 or 32
// positions per step. The names are sorted into Buckets buckets by their last
// bytes, and for each bucket and each of those Depth places the filter knows
// which bytes may stand there (both cases of a letter): one table lookup per
// place turns the text bytes into bytes of bucket bits, and the and of the
// Depth places leaves a bit only where every byte fits some name of that
// bucket (the "Teddy" technique, here on the ends of the names). With AVX-512
// VBMI a lookup is one two-register byte permute over a 128-entry table,
// exact for ASCII (a step holding a byte >= 0x80 goes through the scalar
// filter instead); with AVX2 each byte is split into nibbles, each shuffled
// through a 16-entry table and the two and-ed, which accepts every byte
// whose low and high nibble some accepted byte has.
//
// The candidate places this leaves are rare in text; each is checked exactly
// by walking back from it through a trie of the reversed names, which meets
// every name that ends there and nothing else. The buckets are filled so
// that the share of text they let through, by a fixed estimate of how often
// bytes occur in web files, is least.
//
// The bytes before the block are kept (as many as the longest name needs), so
// that names and filter windows straddling blocks are found. Positions whose
// window reaches before the block, and those after the last whole step, go
// through the same filter byte by byte.
//
// Owned by the matcher that built it; not shared between threads.
class TEndSearch {
 public:
  static constexpr std::size_t Depth = 6;    // bytes of each name's end looked at
  static constexpr std::size_t Buckets = 8;  // one bit each in a filter byte

  // The best level this processor runs.
  static TVectorLevel Supported();

  // level: the filter's instructions (None: the scalar filter alone).
  // names[k]: the folded (A-Z for a-z) name with id k; empty names are never
  // found here. positional[k]: its places are reported, until the sink
  // declines one (see TNameMatcher's retirement rule).
  TEndSearch(TVectorLevel level, const std::vector<std::string>& names,
             const std::vector<bool>& positional);

  void Start();
  // folded: data has a-z folded to A-Z already.
  void Feed(const unsigned char* data, std::size_t size, TMatchSink* sink, bool folded = false);
  // Folds a-z to A-Z in place (AVX-512 where the processor has it).
  static void FoldInPlace(unsigned char* data, std::size_t size);
  // Name id is neither reported nor found from now on.
  void Retire(std::uint32_t id);
  // Appends the ids found since Start, each once.
  void AppendFound(std::vector<std::uint32_t>& found) const;

 private:
  static constexpr std::uint32_t None = UINT32_MAX;
  // A trie node: its children are nodes first .. first + count - 1, sorted
  // by the byte that leads into them (byte_); names that end here (read
  // backwards from the place) are outIds_[outStart .. outEnd).
  struct Node {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    std::uint32_t outStart = 0;
    std::uint32_t outEnd = 0;
    std::uint32_t dense = None;  // row of dense_, for nodes with more than one child
    // Names at or below this node not yet retired: a walk that reaches a
    // node with none stops there.
    std::uint32_t live = 0;
  };
  // Per id: live, retired during the current text (no longer reported, and
  // found only if it was before), or retired in an earlier text (neither).
  enum : char { Live, Retiring, Gone };

  void BuildTrie(const std::vector<std::string>& names);
  void BuildFilter(const std::vector<std::string>& names, const std::vector<ByteWeights>& choices);
  void BuildKeys(const std::vector<std::string>& names);
  void Refilter();
  // The key of the length bytes ending at last (folded, last[1 - length]
  // .. last[0]), with the length: distinct for distinct byte runs.
  static std::uint64_t Key(const unsigned char* last, std::size_t length);
  std::uint64_t Bit(std::uint64_t key) const { return (key * 0x9E3779B97F4A7C15ull) >> bitShift_; }
  // key's index in keys_, or None.
  std::uint32_t FindKey(std::uint64_t key) const;
  bool KeyPasses(std::uint64_t key) const;
  // Whether some live name ends with the bytes of the place ending at
  // index e, by their keys.
  bool KeyLive(std::ptrdiff_t e) const;
  std::uint32_t Child(std::uint32_t node, unsigned char byte) const;
  // Whether the filter lets the place ending with the byte at index e pass.
  bool Passes(std::ptrdiff_t e) const;
  void Scalar(std::size_t from, std::size_t to);
  // Whole steps from from on; returns where they end. Each first runs the
  // filter over all its steps, keeping the places that pass as bits in
  // steps_ (and steps that need the scalar filter in wide_), then checks
  // them: the filter's loop makes no calls, so its tables stay in registers.
  std::size_t Vector256(std::size_t from, std::size_t to);
  std::size_t Vector512(std::size_t from, std::size_t to);
  void FoldBlock(std::size_t size);
  static void Fold512(const unsigned char* from, unsigned char* to, std::size_t size);
  void CheckSteps(std::size_t from, std::size_t count, std::size_t width);
  void Verify(std::ptrdiff_t e);
  void Report(const Node& node, const unsigned char* end);
  void KeepTail(const unsigned char* data, std::size_t size);

  // Filter: per place j back from the end (0: the last byte), the bucket
  // bits of each whole byte, and of each low nibble and each high nibble.
  alignas(64) unsigned char byteBits_[Depth][256] = {};
  alignas(16) unsigned char low_[Depth][16] = {};
  alignas(16) unsigned char high_[Depth][16] = {};
  // For the AVX-512 filter, which reads the text with a-z folded to A-Z:
  // the bucket bits of each byte's low six bits, or-ed over the bytes below
  // 0x80 that share them (so a byte is accepted where any of them is).
  alignas(64) unsigned char sixBits_[Depth][64] = {};
  std::vector<unsigned char> folded_;  // the block being fed, folded
  const unsigned char* foldedData_ = nullptr;  // folded_, or the block itself
  TVectorLevel level_ = TVectorLevel::None;

  // The second filter, for the places the first lets through: the keys of
  // the names' last KeyLength bytes (all of them, for a shorter name), each
  // with how many live names end so, in an open-addressed table; in front
  // of it, a bit per hash of the keys with live names, which turns most
  // places away with one load. Retiring a name takes it out, so the places
  // of names that no longer matter stop here instead of in the trie.
  static constexpr std::size_t KeyLength = 5;
  std::vector<std::uint64_t> keys_;               // 0: an empty slot
  std::vector<std::uint32_t> keyCount_;           // live names per key
  std::uint32_t keyMask_ = 0;
  std::vector<std::uint32_t> bitCount_;           // live keys per bit
  std::vector<std::uint64_t> keyLive_;            // the bits: count above 0
  unsigned bitShift_ = 0;
  // The names (folded; retired ones emptied at each new filter), and what
  // decides when the filter is built again: names retired since the last
  // build, and places let through since then that no live name ends.
  static constexpr std::size_t RefilterAfter = std::size_t{1} << 14;
  std::vector<std::string> names_;
  std::size_t retiredSince_ = 0;
  std::size_t wasted_ = 0;
  std::uint64_t seen_[256] = {};  // bytes of the sampled text, by value
  // The sampled text itself, up to SampleBytes, the oldest chunk replaced.
  static constexpr std::size_t SampleChunk = 4096;
  static constexpr std::size_t SampleBytes = 16 * SampleChunk;
  std::vector<unsigned char> sample_;
  std::size_t sampleNext_ = 0;
  std::size_t fedBlocks_ = 0;
  bool measured_ = false;         // a filter was built from seen_
  std::vector<std::uint64_t> steps_;              // vector steps: places that pass
  std::vector<char> wide_;                        // steps for the scalar filter
  std::vector<std::uint32_t> idKey_;              // by id: its key's slot (None: empty)
  bool shortLength_[KeyLength] = {};              // lengths below KeyLength in use

  std::vector<Node> nodes_;            // root first, then depth first
  std::vector<unsigned char> byte_;    // by node: the byte leading into it
  // Rows of classes_ entries: the child for each byte class (None: none).
  static constexpr std::size_t DenseBudget = std::size_t{1} << 22;
  std::vector<std::uint32_t> dense_;
  unsigned char classOf_[256] = {};
  std::uint32_t classes_ = 1;
  std::vector<std::uint32_t> outIds_;

  std::vector<std::uint32_t> parent_;  // by node (the root's: None)
  std::vector<std::uint32_t> idNode_;  // by id: the node where it ends (None: empty)
  std::vector<char> positional_, retired_;
  std::vector<std::uint32_t> retiring_;  // ids retired during the current text
  std::vector<std::uint32_t> stamp_;   // generation in which id was found
  std::vector<std::uint32_t> found_;
  std::uint32_t generation_ = 1;

  // The text's last bytes before the current block (at most tailCap_).
  std::vector<unsigned char> tail_;
  std::size_t tailLen_ = 0;
  // During Feed.
  const unsigned char* data_ = nullptr;
  TMatchSink* sink_ = nullptr;
};

}  // namespace analysis

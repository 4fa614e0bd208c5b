#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "match/NameMatcher.h"
#include "platform/LargeArray.h"

namespace match {

// TAutomaton: the portable path of TNameMatcher, one Aho-Corasick automaton
// over all the names, whatever their number.
//
// Bytes are first mapped to classes (the caller's classOf), so a row has one
// entry per class rather than 256. The states down to some depth, those a
// text keeps returning to, have dense rows: an entry holds the target row's
// offset, so a step is two loads and an add. The depth is the deepest whose
// rows all fit the memory budget, or ten if twice the budget holds those
// rows. The deeper states, which a text reaches only where it spells out
// the start of a long name, are kept compactly: their children, sorted by
// class, and their failure link; a step from one
// follows failure links until a child or a dense row answers, which costs
// at most as many steps over a text as it has bytes (each failure step
// goes one byte up, and each byte goes at most one byte down). So the
// memory grows with the names' bytes, not with their bytes times the
// classes, and no text is walked twice however many names there are.
//
// The rows of states that end a name lie at and beyond outputBit, a power
// of two above the other rows, so "some walk met a name" is one bit of the
// states or-ed together. Large blocks are cut into several overlapping
// stretches walked in lockstep over the dense rows alone: the walks are
// independent chains of loads, which the processor overlaps. A transition
// into a deep state leads to the escape row, which has the output bit and
// leads to itself; a walk whose states had that bit in a stretch of eight
// bytes goes over those bytes again, step by step and exactly, reporting
// the names it meets and stepping through deep states.
//
// Owned by its TNameMatcher.
class TAutomaton {
 public:
  static constexpr std::uint32_t None = UINT32_MAX;

  // folded[k] is name k with a-z folded to A-Z; empty names are left out
  // (the matcher finds them itself). classOf maps every byte to its class,
  // below classes.
  TAutomaton(const std::vector<std::string>& folded, const std::uint32_t (&classOf)[256],
             std::uint32_t classes, std::size_t budget, const std::vector<bool>& positional,
             const TWordEnds& wordEnds);
  ~TAutomaton();

  // A new text.
  void Start();
  void Feed(const unsigned char* data, std::size_t size, TMatchSink* sink);
  // Sets the state to the one that a walk over these bytes from the root
  // ends in, reporting nothing: for bytes whose places were dealt with
  // already (by the vector path); at most MaxLength() + 1 of them matter.
  // textStart: the bytes start the text.
  void Skip(const unsigned char* data, std::size_t size, bool textStart);
  std::uint32_t MaxLength() const { return maxLength_; }
  // Appends the ids of the names met since Start (each once).
  void AppendFound(std::vector<std::uint32_t>& found);
  void Retire(std::uint32_t id);
  // Marks id as retired before the current text (by the vector path).
  void MarkGone(std::uint32_t id) { retired_[id] = Gone; }

  std::uint64_t Work() const { return work_; }
  // The deepest state whose row is dense.
  std::uint32_t DenseDepth() const { return denseDepth_; }

 private:
  struct Build;
  // A state as the exact walk carries it: a dense row's offset, or DeepTag
  // plus the number of a deep state.
  static constexpr std::uint32_t DeepTag = 0x80000000u;

  void LayOut(Build& b);
  void Describe(Build& b);
  void FindRetireSlots(Build& b);
  std::uint32_t Child(std::uint32_t lo, std::uint32_t hi, std::uint32_t c) const;
  void ForgetFirst(std::uint32_t e);
  std::uint32_t OwnerOfRow(std::uint32_t offset) const;
  std::uint32_t Step(std::uint32_t s, std::uint32_t c);
  // The output number of a state the exact walk holds, or None.
  std::uint32_t OutputOf(std::uint32_t s) const {
    if (s >= DeepTag) return deep_[s - DeepTag].output;
    if (s >= outputBit_) return Rows(s - outputBit_);
    return s >= weakStart_ ? highOutputs_ + Rows(s - weakStart_) : None;
  }
  // The state whose shadow row starts at offset t (> escape_).
  std::uint32_t Unshadow(std::uint32_t t) const { return shadowed_[Rows(t - escape_) - 1]; }
  // offset / classes_ for an offset below DeepTag, by a multiplication: the
  // walks divide at every output they meet. With s = 32 + ceil(log2 d) and
  // m = ceil(2^s / d), (x * m) >> s is x / d for every x below 2^31 (the
  // error x * (m * d - 2^s) stays below 2^s), and x * m fits 64 bits.
  std::uint32_t Rows(std::uint32_t offset) const {
    return static_cast<std::uint32_t>((std::uint64_t{offset} * rowMagic_) >> rowShift_);
  }
  void WalkExact(std::uint32_t& state, const unsigned char* p, std::size_t n);
  void Walk(const unsigned char* data, std::size_t size);
  void Hit(std::uint32_t k, const unsigned char* end);

  std::uint32_t classOf_[256] = {};
  std::uint32_t classes_ = 1;
  std::uint64_t rowMagic_ = 1;  // see Rows
  unsigned rowShift_ = 0;
  std::vector<bool> positional_;
  TWordEnds wordEnds_;
  std::uint32_t maxLength_ = 0;
  std::uint32_t denseDepth_ = 0;
  // The class of the mark that follows each byte that is not a word byte
  // (None when no name needs it), and those bytes' classes.
  std::uint32_t mark_ = None;
  char nonWord_[259] = {};
  std::uint32_t start_ = 0;  // the state before a text

  // The dense rows: those without output, in breadth-first order so the hot
  // shallow rows sit together, then the weak ones (whose names all matter
  // only where a word ends), below outputBit_; from outputBit_ on those with
  // output, then the escape row, then the shadow rows (the gap between is
  // never touched). Weak rows do not flag a walk: their steps on bytes that
  // are not word bytes, where their names' places are, lead into shadow
  // rows, copies of their targets' rows that do.
  platform::TLargeArray<std::uint32_t> next_;
  std::uint32_t outputBit_ = 0;
  std::uint32_t escape_ = 0;
  std::uint32_t weakStart_ = 0;   // the first weak row
  std::uint32_t belowRows_ = 0;   // rows below outputBit_
  std::uint32_t highOutputs_ = 0; // output rows from outputBit_ on
  std::vector<std::uint32_t> shadowed_;  // by shadow row: its state's offset
  std::uint32_t denseRows_ = 0;  // rows of dense states
  // Edges, each a class and the state it leads to: a dense row's, where
  // its escape entries lead to deep states, edges_[edgeStart_[row] ..
  // edgeStart_[row + 1]); a deep state's, its children, edges_[first .. end)
  // of its TDeep. Each owner's by class.
  std::vector<std::uint32_t> edgeStart_;
  struct TEdge {
    std::uint32_t cls, target;
  };
  // A deep state: its failure state, its output number, its children's
  // edges, edges_[first .. first + count), and the class of its first
  // child, which is the next deep state (they are numbered depth first), so
  // that a walk down the rest of a name reads no edge: NoFirst once that
  // edge was sent elsewhere (Retire), or with no child.
  static constexpr std::uint16_t NoFirst = UINT16_MAX;
  struct TDeep {
    std::uint32_t fail, output, first;
    std::uint16_t count, firstClass;
  };
  std::vector<TEdge> edges_;
  std::vector<TDeep> deep_;

  // By output number k (dense outputs first, in row order, then deep ones):
  // the next output beyond k on its suffix chain that ends names of its own
  // (None if none), and the names k ends, ids_[idStart_[k] .. idStart_[k+1]).
  std::vector<std::uint32_t> chainNext_;
  std::vector<std::uint32_t> idStart_;
  std::vector<std::uint32_t> ids_;
  std::vector<std::uint32_t> hitStamp_;     // generation in which k was met
  std::vector<std::uint32_t> expandStamp_;  // generation in which k was listed
  std::vector<std::uint32_t> hits_;         // outputs met in this text
  // The positional ids k ends, its own and its suffix chain's:
  // placeIds_[placeStart_[k] .. placeWords_[k]) are reported at every
  // place, the rest up to placeStart_[k + 1] only at the end of a word.
  std::vector<std::uint32_t> placeStart_;
  std::vector<std::uint32_t> placeWords_;
  std::vector<std::uint32_t> placeIds_;
  // Outputs that can retire (a leaf ending one positional name only): the
  // state their transitions should lead to instead (their failure state,
  // whose row a leaf's repeats, or its shadow), and the dense entries and
  // edges that lead into them, slots_[slotStart_[k] .. slotStart_[k + 1]).
  std::vector<std::uint32_t> retireTo_;
  std::vector<std::uint32_t> slotStart_;
  std::vector<std::uint32_t> slots_;
  std::vector<std::uint32_t> slotInstead_;  // by slot: its entry once retired
  std::vector<char> retiredOutput_;
  std::vector<std::uint32_t> outputOf_;  // by id: the output that ends it

  // Per id: live, retired during the current text, or retired before it.
  enum : char { Live, Retiring, Gone };
  std::vector<char> retired_;
  std::vector<std::uint32_t> retiring_;

  std::uint32_t state_ = 0;  // carried across blocks
  std::uint32_t generation_ = 1;
  std::uint64_t work_ = 0;
  TMatchSink* sink_ = nullptr;               // during Feed
  const unsigned char* blockEnd_ = nullptr;  // during Feed
};

}  // namespace match

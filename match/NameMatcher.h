#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "match/VectorLevel.h"

namespace match {

class TEndSearch;
class TAutomaton;

// TNameMatcher: finds which of a set of names occur in a text that arrives in
// blocks, ignoring the case of the ASCII letters a to z only.
//
// A caller builds one over all its names and streams each of its texts
// through it, so each byte of a text is looked at once instead of once per
// name, and no text is ever held whole in memory. "Occurs" is plain substring containment over all bytes,
// NUL bytes included; a name that straddles two blocks is found.
//
// How: an Aho-Corasick automaton (TAutomaton, Automaton.h) with dense rows
// for the shallow states, where a step is two loads and an add, and compact
// ones for the deep states, so that however many names there are, each
// block is walked once and memory grows with the names' bytes.
//
// That automaton is the portable path. Where the processor has the vector
// instructions (AVX2, or AVX-512 with VBMI), the matcher takes the vector path instead: TEndSearch
// (EndSearch.h) finds the few places where some name may end with a filter
// over 64 or 32 bytes at a time and checks each against a trie of the
// reversed names. Both find, report and retire exactly the same; the tests
// run both. The automaton stays the reference: where the vector filter lets
// through so much of the text that it costs more than it saves
// (TEndSearch::PassesTooMuch), the matcher builds the automaton at the next
// Start and keeps to it for the rest of its life, the names retired so far
// retired there too.
//
// Names marked positional are also reported at every place they end, to a
// TMatchSink handed to Feed, with a pointer just past their last byte, so that
// the caller can look at the bytes around them; the bytes before the block
// are wherever the caller keeps them. Each place may be reported more than
// once (the stretches overlap), and places come in no particular order.
//
// Owned by whoever builds it; not shared between threads.
//
// TMatchSink receives the places where positional names end.
class TMatchSink {
 public:
  virtual ~TMatchSink() = default;
  // Name id ends just before end, which points into the block being fed.
  // Returns false when no further place of id matters to the sink, for any
  // text: id is then retired. It is not reported again, and from the next
  // Start on it is not found either (in the text where it retired it was
  // found already). How: a flag per id, checked where places are reported
  // and where Found lists ids; the automaton also sends the transitions into
  // a state that ends that id alone, with no name going on from it, where
  // they would lead without it, so walks no longer meet it, and the vector
  // path stops its backward walks below trie nodes whose names all retired.
  virtual bool OnMatch(std::uint32_t id, const unsigned char* end) = 0;
};

// Positional names whose places matter only where a word ends: such a place
// is reported only when the byte after it is not a word byte, or is not in
// the block (the caller then judges it when that byte comes). A name that
// ends at every byte of a long word (one of many nested names, "a" to 250
// "a"s, in a text of "a"s) is then reported once per word instead of once
// per byte. Such a name is found where it ends a word; whether Found lists
// one that occurs only inside words is left open (the automaton does not
// look there).
//
// Names that matter only where a word starts (starts, any names) are found
// and reported only where the byte before them is not a word byte, or
// where they start the text. A short name that ends inside many words of
// a text ("en", "form") then costs nothing there.
struct TWordEnds {
  std::vector<bool> names;   // by id; for positional names only
  std::vector<bool> starts;  // by id
  bool wordBytes[256] = {};
};

class TNameMatcher {
 public:
  // Dense table entries allowed (4 bytes each; twice as many where the
  // dense rows would not reach ten bytes deep otherwise); the states beyond
  // the depth they reach are kept compactly.
  static constexpr std::size_t DefaultBudget = std::size_t{1} << 20;
  static constexpr std::uint32_t None = UINT32_MAX;

  // patterns[k] is the name with id k. Duplicates and empty names are fine; an
  // empty name occurs in every text.
  // positional[k] (when given) marks name k as one whose every place is
  // reported to the sink; it is found as the others are as well. wordEnds
  // narrows that to the places where a word ends, for the names it marks.
  explicit TNameMatcher(const std::vector<std::string>& patterns,
                        std::size_t budget = DefaultBudget,
                        const std::vector<bool>& positional = {},
                        const TWordEnds& wordEnds = {});
  ~TNameMatcher();
  TNameMatcher(TNameMatcher&&) noexcept;
  TNameMatcher& operator=(TNameMatcher&&) noexcept;

  // Starts a new text: forgets everything fed so far.
  void Start();
  // Appends bytes to the current text; positional names go to sink, if any.
  // folded: the bytes are folded already (a-z as A-Z, see FoldAscii), which
  // spares the vector path folding them itself.
  void Feed(const char* data, std::size_t size, TMatchSink* sink = nullptr, bool folded = false);
  // Folds a-z to A-Z in place, with the vector instructions at hand: for a
  // caller that prepares blocks on another thread (the matcher ignores case
  // anyway).
  static void FoldAscii(unsigned char* data, std::size_t size);
  // Whether Feed saves work when given folded bytes (the AVX-512 path).
  bool PrefersFolded() const;
  // The ids of the names that occur in the text fed since Start, each once,
  // in no particular order.
  std::vector<std::uint32_t> Found();

  // Stops reporting and finding name id from now on (whether it is listed
  // by Found for the current text is left open), as when a sink declines
  // one of its places: for a caller that learns elsewhere that a name no
  // longer matters.
  void Retire(std::uint32_t id);

  // The deepest state of the automaton with a dense row (0 while on the
  // vector path): the longest name's length unless over budget.
  std::uint32_t DenseDepth() const;

  // The most vector instructions that matchers built from now on may use
  // (default: StartupVectorLevel, all the processor has unless
  // QUILMERE_VECTOR_LEVEL says less; tests set it to run every path).
  // Process-wide.
  static void LimitVectorLevel(TVectorLevel level);
  static TVectorLevel VectorLevelLimit();
  // Whether matchers built from now on keep to the vector path whatever
  // their filters let through (tests hold them there, to run that path over
  // texts built to be hard for it). Process-wide; off by default.
  static void HoldVectorPath(bool hold);
  // Whether this matcher is on the vector path (it leaves it for the
  // automaton at a Start when the filter passes too much, or in the middle
  // of a text that costs it more than the automaton would).
  bool VectorPath() const { return ends_ != nullptr; }
  // How often the vector filter was built (0 on the automaton path from the
  // start); TEndSearch::MaxFilterBuilds at most.
  std::size_t FilterBuilds() const;
  // The work done so far, in steps: a byte walked by an automaton is one, a
  // place that the vector filter let through TEndSearch::PlaceSteps, a
  // step back through the trie one, and a place reported one. A run's work
  // is linear in the bytes fed (see Feed in NameMatcher.cpp for the bound);
  // tests count it on the texts that are hardest for each path.
  std::uint64_t Work() const;

 private:
  void BuildAutomaton(const std::vector<std::string>& folded);
  void LeaveVectorPath();
  void LeaveVectorPathWithin(const unsigned char* data, std::size_t done);

  std::size_t budget_;
  std::unique_ptr<TEndSearch> ends_;        // the vector path, when taken
  // While on the vector path: the folded names, to build the automaton
  // from if it is left.
  std::vector<std::string> folded_;
  std::size_t filterBuilds_ = 0;            // by the vector path once left
  std::uint32_t classOf_[256] = {};
  std::uint32_t classes_ = 1;
  std::unique_ptr<TAutomaton> automaton_;   // the portable path, when taken
  std::vector<std::uint32_t> alwaysFound_;  // ids of empty names
  std::vector<bool> positional_;
  TWordEnds wordEnds_;
  // Found by the vector path in the current text before the matcher left it.
  std::vector<std::uint32_t> carried_;
  std::uint64_t work_ = 0;                  // of the vector path once left
  std::size_t textFed_ = 0;                 // bytes of the text on the vector path
};

}  // namespace match

#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "analysis/RangeMarker.h"
#include "analysis/TextWindow.h"

// Names computed with a literal suffix, the mirror of the literal prefix:
//
//   "#rc.importer#Importer@contentbox"     base & "_footer.cfm"     "#prefix#Service"
//              ^ "#" S "@"                        ^ & "S" ".cfm"             ^ "#" S quote
//
// A token S of MinSuffix bytes or more right after "#" (an expression's
// end) or after "&" and a quote, followed by a quote, "@", or "." and a
// CFML extension, keeps every CFML file whose stem ends with S. The matcher
// looks for the last MinSuffix bytes of every stem with each closer after
// them; the look walks back over S (no further than the longest stem) and
// reads the extension after a ".". Every stem is marked once, whatever the
// number of places: a run of stems sorted from their ends and a
// RangeMarker over it, and a group whose stems are all marked retires.
//
// Built by TCfmlRules; used on the analysis thread.
namespace analysis {

class TNameSuffixes {
 public:
  static constexpr std::size_t MinSuffix = 4;
  static constexpr std::int64_t MaxExtension = 8;  // after the "."

  // stems: the upper-cased stems of the CFML files, with their entries.
  explicit TNameSuffixes(const std::vector<std::pair<std::string, std::int32_t>>& stems);

  std::vector<TRuleLiteral> Literals() const;
  // A literal of this rule spans [start, end). On Hit, suffix is S,
  // upper-cased.
  TLook Look(const TTextWindow& text, std::int64_t start, std::int64_t end,
             std::string& suffix) const;
  // Calls mark(entry) for every file whose stem ends with suffix and that
  // was not marked before, except reader's (which is left for another
  // text).
  template <class Mark>
  void Apply(const std::string& suffix, std::int32_t reader, Mark mark) {
    const auto [lo, hi] = Run(suffix);
    marks_.MarkRange(
        lo, hi, [&](std::size_t k) { return ends_[k].second == reader; },
        [&](std::size_t k) { mark(ends_[k].second); });
  }
  // Whether every stem of a literal's group is marked.
  bool Done(std::uint32_t group) { return marks_.AllMarked(groups_[group].lo, groups_[group].hi); }

 private:
  struct Group {
    std::size_t lo, hi;  // the stems in ends_ that end with its bytes
    std::string last;    // those bytes
  };
  std::pair<std::size_t, std::size_t> Run(const std::string& suffix) const;

  std::vector<std::pair<std::string, std::int32_t>> ends_;  // reversed stems, sorted
  std::vector<Group> groups_;
  RangeMarker marks_{0};
  std::int64_t longest_ = 0;
};

}  // namespace analysis

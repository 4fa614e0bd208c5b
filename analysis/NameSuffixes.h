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
// CFML extension, keeps every CFML file whose stem ends with S. The rules
// look at each "#" and each "&" of a text (a byte search, far cheaper than
// matching the stems' ends, which end countless words): the look reads S
// forward (no further than the longest stem) and the extension after a
// ".". Every stem is marked once, whatever the number of places: a run of
// stems sorted from their ends and a RangeMarker over it.
//
// Built by TCfmlRules; used on the analysis thread.
namespace analysis {

class TNameSuffixes {
 public:
  static constexpr std::size_t MinSuffix = 4;
  static constexpr std::int64_t MaxExtension = 8;  // after the "."

  // stems: the upper-cased stems of the CFML files, with their entries.
  explicit TNameSuffixes(const std::vector<std::pair<std::string, std::int32_t>>& stems);

  // Whether no stem is long enough to end with a suffix.
  bool Empty() const { return longest_ < static_cast<std::int64_t>(MinSuffix); }
  // The token that starts at offset from, right after a "#" or a quote: on
  // Hit, suffix is S, upper-cased, and close the offset of the byte after
  // it.
  TLook Look(const TTextWindow& text, std::int64_t from, std::string& suffix,
             std::int64_t& close) const;
  // The "&" at offset o: blanks, then a quote and the token after it.
  TLook LookJoined(const TTextWindow& text, std::int64_t o, std::string& suffix,
                   std::int64_t& close) const;
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

 private:
  std::pair<std::size_t, std::size_t> Run(const std::string& suffix) const;

  // Whether some stem ends with the MinSuffix bytes ending at offset end
  // (all at hand), by a bit per hash of the stems' last MinSuffix bytes:
  // most tokens after a "#" end no stem, and are turned away here.
  bool MayEndStem(const TTextWindow& text, std::int64_t end) const;

  std::vector<std::pair<std::string, std::int32_t>> ends_;  // reversed stems, sorted
  std::vector<std::uint64_t> endBits_;
  RangeMarker marks_{0};
  std::int64_t longest_ = 0;
};

}  // namespace analysis

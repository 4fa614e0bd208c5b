#pragma once
#include <cstddef>
#include <vector>

namespace analysis {

// Marks a run of a sorted list once each, skipping what is marked already.
// Each index keeps the next index that may be unmarked, and the walks
// shorten those links as they go, so asking again about a run that is
// marked costs next to nothing. Owned by the rule that marks with it; one
// thread.
class RangeMarker {
 public:
  explicit RangeMarker(std::size_t size) : next_(size + 1) {
    for (std::size_t i = 0; i < next_.size(); ++i) next_[i] = i;
  }
  // Whether every i in [lo, hi) is marked.
  bool AllMarked(std::size_t lo, std::size_t hi) { return Find(lo) >= hi; }
  // Calls mark(i) for every i in [lo, hi) not marked before, except those
  // for which skip(i) holds (which stay for a later call).
  template <class Skip, class Mark>
  void MarkRange(std::size_t lo, std::size_t hi, Skip skip, Mark mark) {
    for (std::size_t i = Find(lo); i < hi; i = Find(i + 1)) {
      if (skip(i)) continue;
      mark(i);
      next_[i] = i + 1;
    }
  }

 private:
  std::size_t Find(std::size_t i) {
    std::size_t root = i;
    while (next_[root] != root) root = next_[root];
    while (next_[i] != root) {
      const std::size_t up = next_[i];
      next_[i] = root;
      i = up;
    }
    return root;
  }
  std::vector<std::size_t> next_;
};

}  // namespace analysis

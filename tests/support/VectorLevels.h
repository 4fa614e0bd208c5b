#pragma once
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <vector>

#include "analysis/EndSearch.h"
#include "analysis/NameMatcher.h"

namespace testsupport {

inline const char* LevelName(analysis::TVectorLevel level) {
  switch (level) {
    case analysis::TVectorLevel::None: return "portable path";
    case analysis::TVectorLevel::Avx2: return "AVX2 path";
    default: return "AVX-512 path";
  }
}

// Every path of the matcher, the portable automaton first, whether this
// processor runs it or not.
inline std::vector<analysis::TVectorLevel> AllVectorLevels() {
  using analysis::TVectorLevel;
  return {TVectorLevel::None, TVectorLevel::Avx2, TVectorLevel::Avx512};
}

inline bool Runs(analysis::TVectorLevel level) {
  return analysis::TEndSearch::Supported() >= level;
}

// The paths this processor runs, the portable automaton first. The first
// call says which paths the tests skip for want of the instructions.
inline std::vector<analysis::TVectorLevel> VectorLevels() {
  std::vector<analysis::TVectorLevel> levels;
  static const bool said = [] {
    for (analysis::TVectorLevel level : AllVectorLevels()) {
      if (!Runs(level)) std::cout << "note: " << LevelName(level) << " skipped: this CPU lacks it\n";
    }
    return true;
  }();
  (void)said;
  for (analysis::TVectorLevel level : AllVectorLevels()) {
    if (Runs(level)) levels.push_back(level);
  }
  return levels;
}

// Whether randomized case seed runs on path level: the seeds are dealt out
// over the paths in turn, so that each path gets a share of them and all
// paths together cost what one path over every seed would.
inline bool DealtTo(std::uint32_t seed, analysis::TVectorLevel level) {
  const std::vector<analysis::TVectorLevel> levels = VectorLevels();
  const auto at = static_cast<std::size_t>(std::find(levels.begin(), levels.end(), level) - levels.begin());
  return seed % levels.size() == at;
}

// Limits the matchers built in its lifetime to one level, and holds them on
// the vector path whatever their filters let through (the tests' texts are
// built to be hard), unless told otherwise.
class VectorLevelScope {
 public:
  explicit VectorLevelScope(analysis::TVectorLevel level, bool hold = true)
      : before_(analysis::TNameMatcher::VectorLevelLimit()) {
    analysis::TNameMatcher::LimitVectorLevel(level);
    analysis::TNameMatcher::HoldVectorPath(hold);
  }
  ~VectorLevelScope() {
    analysis::TNameMatcher::LimitVectorLevel(before_);
    analysis::TNameMatcher::HoldVectorPath(false);
  }
  VectorLevelScope(const VectorLevelScope&) = delete;
  VectorLevelScope& operator=(const VectorLevelScope&) = delete;

 private:
  analysis::TVectorLevel before_;
};

}  // namespace testsupport

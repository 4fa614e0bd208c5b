#pragma once
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <vector>

#include "match/NameMatcher.h"

namespace testsupport {

inline const char* LevelName(match::TVectorLevel level) {
  switch (level) {
    case match::TVectorLevel::None: return "portable path";
    case match::TVectorLevel::Avx2: return "AVX2 path";
    default: return "AVX-512 path";
  }
}

// Every path of the matcher, the portable automaton first, whether this
// processor runs it or not.
inline std::vector<match::TVectorLevel> AllVectorLevels() {
  using match::TVectorLevel;
  return {TVectorLevel::None, TVectorLevel::Avx2, TVectorLevel::Avx512};
}

inline bool Runs(match::TVectorLevel level) {
  return match::SupportedVectorLevel() >= level;
}

// The paths this processor runs, the portable automaton first. The first
// call says which paths the tests skip for want of the instructions.
inline std::vector<match::TVectorLevel> VectorLevels() {
  std::vector<match::TVectorLevel> levels;
  static const bool said = [] {
    for (match::TVectorLevel level : AllVectorLevels()) {
      if (!Runs(level)) std::cout << "note: " << LevelName(level) << " skipped: this CPU lacks it\n";
    }
    return true;
  }();
  (void)said;
  for (match::TVectorLevel level : AllVectorLevels()) {
    if (Runs(level)) levels.push_back(level);
  }
  return levels;
}

// Whether randomized case seed runs on path level: the seeds are dealt out
// over the paths in turn, so that each path gets a share of them and all
// paths together cost what one path over every seed would.
inline bool DealtTo(std::uint32_t seed, match::TVectorLevel level) {
  const std::vector<match::TVectorLevel> levels = VectorLevels();
  const auto at = static_cast<std::size_t>(std::find(levels.begin(), levels.end(), level) - levels.begin());
  return seed % levels.size() == at;
}

// Limits the matchers built in its lifetime to one level, and holds them on
// the vector path whatever their filters let through (the tests' texts are
// built to be hard), unless told otherwise.
class VectorLevelScope {
 public:
  explicit VectorLevelScope(match::TVectorLevel level, bool hold = true)
      : before_(match::TNameMatcher::VectorLevelLimit()) {
    match::TNameMatcher::LimitVectorLevel(level);
    match::TNameMatcher::HoldVectorPath(hold);
  }
  ~VectorLevelScope() {
    match::TNameMatcher::LimitVectorLevel(before_);
    match::TNameMatcher::HoldVectorPath(false);
  }
  VectorLevelScope(const VectorLevelScope&) = delete;
  VectorLevelScope& operator=(const VectorLevelScope&) = delete;

 private:
  match::TVectorLevel before_;
};

}  // namespace testsupport

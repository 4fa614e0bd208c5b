#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "analysis/EndSearch.h"
#include "analysis/NameMatcher.h"

namespace testsupport {

// The matcher's paths this processor runs, the portable automaton first.
inline std::vector<analysis::TVectorLevel> VectorLevels() {
  using analysis::TVectorLevel;
  std::vector<TVectorLevel> levels{TVectorLevel::None};
  for (TVectorLevel level : {TVectorLevel::Avx2, TVectorLevel::Avx512}) {
    if (analysis::TEndSearch::Supported() >= level) levels.push_back(level);
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

inline const char* LevelName(analysis::TVectorLevel level) {
  switch (level) {
    case analysis::TVectorLevel::None: return "portable path";
    case analysis::TVectorLevel::Avx2: return "AVX2 path";
    default: return "AVX-512 path";
  }
}

// Limits the matchers built in its lifetime to one level.
class VectorLevelScope {
 public:
  explicit VectorLevelScope(analysis::TVectorLevel level) {
    analysis::TNameMatcher::LimitVectorLevel(level);
  }
  ~VectorLevelScope() { analysis::TNameMatcher::LimitVectorLevel(analysis::TVectorLevel::Avx512); }
  VectorLevelScope(const VectorLevelScope&) = delete;
  VectorLevelScope& operator=(const VectorLevelScope&) = delete;
};

}  // namespace testsupport

#include "match/VectorLevel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "match/EndSearch.h"

namespace match {

namespace {

struct LevelName {
  const char* name;
  TVectorLevel level;
};
constexpr LevelName LevelNames[] = {
    {"scalar", TVectorLevel::None}, {"avx2", TVectorLevel::Avx2}, {"avx512", TVectorLevel::Avx512}};

const char* NameOf(TVectorLevel level) {
  for (const LevelName& n : LevelNames) {
    if (n.level == level) return n.name;
  }
  return "?";
}

}  // namespace

TVectorLevel LimitedVectorLevel(const char* setting, TVectorLevel supported, std::string& note) {
  note.clear();
  if (setting == nullptr) return supported;
  const std::string prefix = std::string("quilmere: ") + VectorLevelVariable + "=" + setting + ": ";
  for (const LevelName& n : LevelNames) {
    if (std::strcmp(setting, n.name) != 0) continue;
    if (n.level > supported) {
      note = prefix + "this CPU lacks it; using " + NameOf(supported);
      return supported;
    }
    return n.level;
  }
  note = prefix + "unknown level (scalar, avx2 or avx512); ignored";
  return supported;
}

TVectorLevel SupportedVectorLevel() { return TEndSearch::Supported(); }

TVectorLevel StartupVectorLevel() {
  static const TVectorLevel level = [] {
    std::string note;
    const TVectorLevel chosen =
        LimitedVectorLevel(std::getenv(VectorLevelVariable), TEndSearch::Supported(), note);
    if (!note.empty()) std::cerr << note << '\n';
    return chosen;
  }();
  return level;
}

}  // namespace match

#pragma once
#include <string>

namespace match {

// The vector instructions the name matcher may use, from none (the portable
// automaton) up.
enum class TVectorLevel { None, Avx2, Avx512 };

// The environment variable that limits the level for a whole process, so
// that each path can be run and measured on a processor that has the higher
// ones: "scalar", "avx2" or "avx512".
inline constexpr const char* VectorLevelVariable = "QUILMERE_VECTOR_LEVEL";

// The best level this processor runs.
TVectorLevel SupportedVectorLevel();

// What the setting (the variable's value; nullptr when it is unset) makes
// of supported, the best level the processor runs: the lower of the two. A
// level the processor lacks gives supported, an unknown value is ignored;
// either way note gets the line to show on standard error (else it is
// emptied).
TVectorLevel LimitedVectorLevel(const char* setting, TVectorLevel supported, std::string& note);

// The level the matchers of this process may use unless a test limits them
// (TNameMatcher::LimitVectorLevel): the processor's best, limited by
// QUILMERE_VECTOR_LEVEL. The variable is read, and its note written to
// standard error, once, when this is first called.
TVectorLevel StartupVectorLevel();

}  // namespace match

#pragma once

namespace analysis {

// The vector instructions the name matcher may use, from none (the portable
// automaton) up.
enum class TVectorLevel { None, Avx2, Avx512 };

}  // namespace analysis

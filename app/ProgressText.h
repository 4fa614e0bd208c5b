#pragma once
#include <string>

#include "analysis/ReferenceAnalysis.h"

// The text on the progress bar of a Process run. Qt-free.
namespace app {

// Scan: "N files found". Analysis: "e of N files, SIZE read" (SIZE as the
// checked count spells sizes).
std::string ProgressText(const analysis::TProgress& progress);

}  // namespace app

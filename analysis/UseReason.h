#pragma once
#include <string>

#include "analysis/FileTable.h"

namespace analysis {

// Why the analysis kept entry, in one short sentence for people: "Entry
// file", "Named in /site/index.cfm", "Names a file of the project", and one
// text for each CFML rule, naming the read file that gave the reason (and
// its line, when the rule knows the place) when there is one. For an unused
// entry, that nothing read names it; empty for one never analysed. The
// window's tooltips and quilmere-report --why both show this text.
std::string UseReasonText(const TFileName& entry);

}  // namespace analysis

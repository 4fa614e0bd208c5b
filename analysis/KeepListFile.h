#pragma once
#include <string>
#include <vector>

// Adding lines to the project's keep list ("Always keep"). Qt-free.
namespace analysis {

// Appends one anchored line (KeepLineFor) per path relative to the project
// directory to the keep list at listPath, creating the list when it does not
// exist. The list is replaced in one step: on any failure, or when the list
// would grow past its budget, KeepListError (naming the list) leaves it as it
// was. Returns the line number of the first new line; the others follow it.
int AppendToKeepList(const std::string& listPath, const std::vector<std::string>& relativePaths);

}  // namespace analysis

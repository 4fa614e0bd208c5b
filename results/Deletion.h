#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "analysis/FileTable.h"

// Deleting the checked files and compacting the table, in one pass. Qt-free.
namespace results {

// Deletes the file of every entry with Checked = 1 (Directory + Name, through
// deleteFile, whose result does not matter: a file that cannot be deleted
// stays on disk and its entry goes all the same) and moves the kept entries
// down to slots 1..FileCount in their old order. Entries that are not checked
// are never handed to deleteFile. Returns the number of entries dropped.
std::int32_t DeleteCheckedEntries(analysis::TFileTable& table,
                                  const std::function<bool(const std::string&)>& deleteFile);

// The selection commands: set Checked of entries top..bottom (nothing when
// bottom < top) to 1, to 0, or back to the analysis verdict Unused.
enum class CheckCommand { CheckAll, UncheckAll, Restore };
void ApplyCheckCommand(analysis::TFileTable& table, std::int32_t top, std::int32_t bottom,
                       CheckCommand command);

}  // namespace results

#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "analysis/FileTable.h"
#include "results/RowSearch.h"

// Deleting the checked files and compacting the table, in one pass. Qt-free.
namespace results {

struct TDeletionResult {
  std::int32_t Deleted = 0;  // entries whose files were deleted and dropped
  std::int32_t Failed = 0;   // checked entries whose files stayed on disk
};

// Hands every entry with Checked = 1 to deleteFile, in table order. An entry
// whose file was deleted (deleteFile returned true) is dropped; an entry
// whose file could not be deleted stays in the table, still checked, so the
// list never shows a file as gone that is still on disk. The entries that
// stay move down to slots 1..FileCount in their old order. Entries that are
// not checked are never handed to deleteFile.
TDeletionResult DeleteCheckedEntries(
    analysis::TFileTable& table,
    const std::function<bool(const analysis::TFileName&)>& deleteFile);

// The status text after a pass in which failed files could not be deleted
// ("  1 file could not be deleted.", "  N files could not be deleted.");
// empty when every deletion succeeded.
std::string DeletionFailureText(std::int32_t failed);

// The selection commands: set Checked of entries top..bottom (nothing when
// bottom < top) to 1, to 0, or back to the analysis verdict Unused. Rows the
// grid hides lie inside a selection too; they keep their checks.
enum class CheckCommand { CheckAll, UncheckAll, Restore };
void ApplyCheckCommand(analysis::TFileTable& table, std::int32_t top, std::int32_t bottom,
                       CheckCommand command, const RowShown& shown = {});

}  // namespace results

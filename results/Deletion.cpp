#include "results/Deletion.h"

namespace results {

TDeletionResult DeleteCheckedEntries(
    analysis::TFileTable& table,
    const std::function<bool(const analysis::TFileName&)>& deleteFile) {
  TDeletionResult result;
  const std::int32_t count = table.FileCount;
  // Slots 1..kept hold the entries that stay, in their old order; an entry
  // that stays moves down into the first free slot behind them.
  std::int32_t kept = 0;
  for (std::int32_t d = 1; d <= count; ++d) {
    if (table[d].Checked == 1) {
      if (deleteFile(table[d])) {
        ++result.Deleted;
        continue;
      }
      ++result.Failed;
    }
    ++kept;
    if (kept < d) table[kept] = table[d];
  }
  table.FileCount = kept;
  return result;
}

std::string DeletionFailureText(std::int32_t failed) {
  if (failed <= 0) return {};
  if (failed == 1) return "  1 file could not be deleted.";
  return "  " + std::to_string(failed) + " files could not be deleted.";
}

void ApplyCheckCommand(analysis::TFileTable& table, std::int32_t top, std::int32_t bottom,
                       CheckCommand command, const RowShown& shown) {
  for (std::int32_t r = top; r <= bottom; ++r) {
    if (r < 1 || r > table.SlotCount()) continue;
    if (shown && !shown(r)) continue;
    analysis::TFileName& entry = table[r];
    switch (command) {
      case CheckCommand::CheckAll: entry.Checked = 1; break;
      case CheckCommand::UncheckAll: entry.Checked = 0; break;
      case CheckCommand::Restore: entry.Checked = entry.Unused; break;
    }
  }
}

}  // namespace results

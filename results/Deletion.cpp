#include "results/Deletion.h"

namespace results {

std::int32_t DeleteCheckedEntries(analysis::TFileTable& table,
                                  const std::function<bool(const std::string&)>& deleteFile) {
  const std::int32_t count = table.FileCount;
  std::int32_t remaining = count;
  for (std::int32_t d = 1; d <= count; ++d) {
    analysis::TFileName& entry = table[d];
    if (entry.Checked == 1) {
      // The slot now counts as a gap (its Checked stays 1).
      deleteFile(entry.Directory + entry.Name);
      --remaining;
      continue;
    }
    // A kept entry moves into the first slot of the run of gaps before it,
    // and leaves a gap behind for the entries after it.
    std::int32_t h = d;
    while (h > 1 && table[h - 1].Checked == 1) --h;
    if (h < d) {
      table[h] = entry;
      table[d].Checked = 1;
    }
  }
  table.FileCount = remaining;
  return count - remaining;
}

void ApplyCheckCommand(analysis::TFileTable& table, std::int32_t top, std::int32_t bottom,
                       CheckCommand command) {
  for (std::int32_t r = top; r <= bottom; ++r) {
    if (r < 1 || r > analysis::MaxFiles) continue;
    analysis::TFileName& entry = table[r];
    switch (command) {
      case CheckCommand::CheckAll: entry.Checked = 1; break;
      case CheckCommand::UncheckAll: entry.Checked = 0; break;
      case CheckCommand::Restore: entry.Checked = entry.Unused; break;
    }
  }
}

}  // namespace results

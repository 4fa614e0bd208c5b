#pragma once
#include <cstdint>
#include <string>

#include "analysis/FileTable.h"

// What the Delete command would act on now: the checked entries and their
// size, as the status bar shows it beside the run's own texts. Qt-free.
namespace results {

struct TCheckedSummary {
  std::int32_t Files = 0;
  std::uint64_t Bytes = 0;
};

// The checked entries among 1..FileCount.
TCheckedSummary SummarizeChecked(const analysis::TFileTable& table);

// "N checked, SIZE" with one file spelled "1 checked"; SIZE in bytes below
// 1000, else with one decimal in kB, MB or GB (powers of 1000).
std::string CheckedSummaryText(const TCheckedSummary& summary);
std::string SizeText(std::uint64_t bytes);

// The status text after a Delete pass: "  N files deleted." or "  N files
// moved to the Trash." (one file: "1 file"), then the failure text when some
// files stayed.
std::string DeletionDoneText(std::int32_t done, std::int32_t failed, bool toTrash);

}  // namespace results

#include "results/CheckedSummary.h"

#include <array>
#include <cstdio>

#include "results/Deletion.h"

namespace results {

namespace {

std::string FilesText(std::int32_t n) {
  return std::to_string(n) + (n == 1 ? " file" : " files");
}

}  // namespace

TCheckedSummary SummarizeChecked(const analysis::TFileTable& table) {
  TCheckedSummary summary;
  for (std::int32_t i = 1; i <= table.FileCount; ++i) {
    if (table[i].Checked != 1) continue;
    ++summary.Files;
    summary.Bytes += table[i].Size;
  }
  return summary;
}

std::string SizeText(std::uint64_t bytes) {
  constexpr std::array<const char*, 3> Units = {"kB", "MB", "GB"};
  if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  double value = static_cast<double>(bytes) / 1000.0;
  std::size_t unit = 0;
  while (value >= 999.95 && unit + 1 < Units.size()) {
    value /= 1000.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, Units[unit]);
  return text;
}

std::string CheckedSummaryText(const TCheckedSummary& summary) {
  return std::to_string(summary.Files) + " checked, " + SizeText(summary.Bytes);
}

std::string DeletionDoneText(std::int32_t done, std::int32_t failed, bool toTrash) {
  std::string text = "  " + FilesText(done) + (toTrash ? " moved to the Trash." : " deleted.");
  return text + DeletionFailureText(failed);
}

}  // namespace results

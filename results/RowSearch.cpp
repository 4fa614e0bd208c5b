#include "results/RowSearch.h"

#include <algorithm>

#include "platform/AsciiText.h"

namespace results {

namespace {

bool ContainsAscii(std::string_view haystack, std::string_view lowerNeedle) {
  const auto at = std::search(haystack.begin(), haystack.end(), lowerNeedle.begin(),
                              lowerNeedle.end(), [](char a, char b) {
                                return platform::LowerAscii(a) == b;
                              });
  return at != haystack.end();
}

}  // namespace

std::int32_t FindRow(const analysis::TFileTable& table, std::int32_t count, std::int32_t first,
                     std::string_view text, const RowShown& shown) {
  count = std::min(count, table.FileCount);
  if (text.empty() || count <= 0) return 0;
  const std::string needle = platform::LowerAscii(std::string(text));
  first = std::clamp(first, 1, count);
  for (std::int32_t k = 0; k < count; ++k) {
    const std::int32_t row = (first - 1 + k) % count + 1;
    if (shown && !shown(row)) continue;
    const analysis::TFileName& entry = table[row];
    // The path's two parts are searched as one text; a match may span them.
    if (ContainsAscii(entry.Directory + entry.Name, needle)) return row;
  }
  return 0;
}

}  // namespace results

#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

#include "analysis/FileTable.h"

// Finding rows of the results grid by their path. Row r is entry r whatever
// the grid hides, so the rules here take the rows the grid shows as a
// predicate. Qt-free.
namespace results {

// True for a row that the grid shows now; empty: every row is shown.
using RowShown = std::function<bool(std::int32_t row)>;

// The first shown row among first, first + 1, ..., count, then 1, ...,
// first - 1 whose Directory + Name contains text, ASCII letters in any case;
// 0 when none does or text is empty. count: the rows the grid shows entries
// for (at most the table's FileCount).
std::int32_t FindRow(const analysis::TFileTable& table, std::int32_t count, std::int32_t first,
                     std::string_view text, const RowShown& shown = {});

}  // namespace results

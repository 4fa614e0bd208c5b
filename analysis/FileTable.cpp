#include "analysis/FileTable.h"

#include <cassert>
#include <limits>

#include "platform/AsciiText.h"

namespace analysis {

TFileTable FileTable;

std::string MakeTagName(const std::string& name) {
  if (name.size() < 4) return {};
  if (platform::LowerAscii(name.substr(name.size() - 4)) != ".cfm") return {};
  return "cf_" + name.substr(0, name.size() - 4);
}

TFileTable::TFileTable(std::int32_t capacity)
    : capacity_(capacity == NoFileLimit ? std::numeric_limits<std::int32_t>::max() : capacity) {
  assert(capacity >= 0);
}

bool TFileTable::Append(const std::string& name, const std::string& directory,
                        platform::FileId id, std::uint64_t size,
                        const platform::FileStamp& stamp) {
  if (Full()) return false;
  if (static_cast<std::size_t>(FileCount) == entries_.size()) entries_.emplace_back();
  ++FileCount;
  TFileName& entry = (*this)[FileCount];
  entry.Name = name;
  entry.TagName = MakeTagName(name);
  entry.NameLength = static_cast<std::int32_t>(name.size());
  entry.Directory = directory;
  entry.Checked = 1;
  entry.Unused = 1;
  entry.Id = id;
  entry.Reason = TUseRule::None;
  entry.Referrer.clear();
  entry.ReasonLine = 0;
  entry.Size = size;
  entry.Stamp = stamp;
  return true;
}

void TFileTable::WithdrawLast() {
  assert(FileCount > 0);
  --FileCount;
}

void TFileTable::MarkUsed(std::int32_t i) {
  TFileName& entry = (*this)[i];
  entry.Checked = 0;
  entry.Unused = 0;
}

}  // namespace analysis

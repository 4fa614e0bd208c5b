#include "analysis/DirectoryScan.h"

namespace analysis {

std::int32_t ScanDirectory(const std::string& dir, TFileTable& table,
                           platform::DirectorySource& source,
                           const platform::MessagePump& processMessages) {
  std::int32_t count = 0;
  auto listing = source.Open(dir);
  if (!listing) return 0;
  platform::DirEntry entry;
  while (listing->Next(entry)) {
    if ((entry.Attr & platform::faAnyFile) == 0) continue;
    if (entry.Name == "." || entry.Name == "..") continue;
    ++count;
    if (table.FileCount >= MaxFiles) continue;
    table.Append(entry.Name, dir);
    if ((entry.Attr & platform::faDirectory) != 0) {
      if (processMessages) processMessages();
      table.WithdrawLast();
      --count;
      count += ScanDirectory(dir + entry.Name + platform::PathDelimiter, table, source,
                             processMessages);
    }
  }
  return count;
}

}  // namespace analysis

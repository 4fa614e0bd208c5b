#include "analysis/DirectoryScan.h"

#include <vector>

namespace analysis {

std::vector<platform::DirEntry> ReadListing(const std::string& dir,
                                            platform::DirectorySource& source,
                                            const TScanFilter& filter, TWalk walk,
                                            std::size_t limit) {
  std::vector<platform::DirEntry> entries;
  auto listing = source.Open(dir);
  if (!listing) return entries;
  for (platform::DirEntry entry; entries.size() < limit && listing->Next(entry);) {
    if ((entry.Attr & platform::faAnyFile) == 0 && !entry.DirectoryLink) continue;
    if (entry.Name == "." || entry.Name == "..") continue;
    if (filter.Skips(dir, entry, walk)) continue;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::int32_t ScanDirectory(const std::string& dir, TFileTable& table,
                           platform::DirectorySource& source,
                           const platform::MessagePump& processMessages,
                           bool* linkedDirectoryMet, const TScanFilter& filter) {
  std::int32_t count = 0;
  // The listing is read whole and closed before anything below it is opened,
  // so a deep tree never holds more than one directory open.
  for (const platform::DirEntry& entry : ReadListing(dir, source, filter)) {
    if ((entry.Attr & platform::faAnyFile) == 0) {
      if (entry.DirectoryLink && linkedDirectoryMet != nullptr) *linkedDirectoryMet = true;
      continue;
    }
    ++count;
    if (table.Full()) continue;
    table.Append(entry.Name, dir, entry.Id, entry.Size, entry.Stamp);
    if ((entry.Attr & platform::faDirectory) != 0) {
      if (processMessages) processMessages();
      table.WithdrawLast();
      --count;
      count += ScanDirectory(dir + entry.Name + platform::PathDelimiter, table, source,
                             processMessages, linkedDirectoryMet, filter);
    }
  }
  return count;
}

}  // namespace analysis

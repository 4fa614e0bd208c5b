#include "analysis/DirectoryScan.h"

#include <functional>
#include <vector>

#include "analysis/ListingPrefetch.h"

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

namespace {

using Lister = std::function<std::vector<platform::DirEntry>(const std::string& dir)>;

std::int32_t ScanBelow(const std::string& dir, TFileTable& table, const Lister& list,
                       const platform::MessagePump& processMessages, bool* linkedDirectoryMet) {
  std::int32_t count = 0;
  // The listing is read whole and closed before anything below it is opened,
  // so a deep tree never holds more than one directory open.
  for (const platform::DirEntry& entry : list(dir)) {
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
      count += ScanBelow(dir + entry.Name + platform::PathDelimiter, table, list,
                         processMessages, linkedDirectoryMet);
    }
  }
  return count;
}

}  // namespace

std::int32_t ScanDirectory(const std::string& dir, TFileTable& table,
                           platform::DirectorySource& source,
                           const platform::MessagePump& processMessages,
                           bool* linkedDirectoryMet, const TScanFilter& filter) {
  std::unique_ptr<platform::DirectorySource> twin = source.Twin();
  if (!twin) {
    return ScanBelow(
        dir, table, [&](const std::string& d) { return ReadListing(d, source, filter); },
        processMessages, linkedDirectoryMet);
  }
  // A second thread lists ahead; the filter is applied here, in the scan's
  // order, as ReadListing applies it.
  TListingPrefetch prefetch(source, std::move(twin), filter, dir);
  return ScanBelow(
      dir, table,
      [&](const std::string& d) {
        std::vector<platform::DirEntry> entries = prefetch.Take(d);
        std::erase_if(entries, [&](const platform::DirEntry& entry) {
          return filter.Skips(d, entry, TWalk::Listing);
        });
        return entries;
      },
      processMessages, linkedDirectoryMet);
}

}  // namespace analysis

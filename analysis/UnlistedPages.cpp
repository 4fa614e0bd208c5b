#include "analysis/UnlistedPages.h"

#include <algorithm>
#include <unordered_set>

#include "analysis/CfmlRules.h"
#include "analysis/DirectoryScan.h"
#include "analysis/ReferenceAnalysis.h"

namespace analysis {

std::vector<std::string> CollectUnlistedPages(const std::string& dir, const TFileTable& table,
                                              const std::string& pageExtension,
                                              platform::DirectorySource& source,
                                              const platform::MessagePump& processMessages,
                                              const TScanFilter& filter) {
  const std::string pageKey = "." + UpperAscii(pageExtension);
  std::unordered_set<std::string> listedPaths;
  std::unordered_set<platform::FileId, platform::FileIdHash> listedIds;
  for (std::int32_t i = 1; i <= table.FileCount; ++i) {
    listedPaths.insert(table[i].Directory + table[i].Name);
    if (table[i].Id.Known()) listedIds.insert(table[i].Id);
  }

  std::unordered_set<platform::FileId, platform::FileIdHash> visited;
  if (const platform::FileId top = platform::IdentityOf(dir); top.Known()) visited.insert(top);
  std::vector<std::string> pages;
  std::vector<std::string> pending{dir};
  while (!pending.empty()) {
    const std::string current = std::move(pending.back());
    pending.pop_back();
    if (processMessages) processMessages();
    std::vector<std::string> subdirectories;
    for (const platform::DirEntry& entry : ReadListing(current, source, filter, TWalk::Reading)) {
      const std::string path = current + entry.Name;
      if ((entry.Attr & platform::faDirectory) != 0 || entry.DirectoryLink) {
        // A linked directory is entered only when its target is known, so
        // that it can be recognised when it is met again.
        const platform::FileId id = entry.DirectoryLink ? platform::IdentityOf(path) : entry.Id;
        if (id.Known() ? !visited.insert(id).second : entry.DirectoryLink) continue;
        subdirectories.push_back(path + platform::PathDelimiter);
        continue;
      }
      if ((entry.Attr & platform::faArchive) == 0) continue;
      const std::string ext = UpperExtension(entry.Name);
      if (!IsReadExtension(ext, pageKey) && !TCfmlRules::IsReadExtension(ext)) continue;
      if (listedPaths.count(path) != 0) continue;
      if (entry.Id.Known() && listedIds.count(entry.Id) != 0) continue;
      pages.push_back(path);
    }
    // Depth first, in listing order.
    std::move(subdirectories.rbegin(), subdirectories.rend(), std::back_inserter(pending));
  }
  return pages;
}

}  // namespace analysis

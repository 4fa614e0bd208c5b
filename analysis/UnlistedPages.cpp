#include "analysis/UnlistedPages.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "analysis/CfmlRules.h"
#include "analysis/DirectoryScan.h"
#include "analysis/ReferenceAnalysis.h"
#include "platform/FileSystem.h"

namespace analysis {

namespace {

// The path with every link resolved; empty when it cannot be resolved.
std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (real == nullptr) return {};
  std::string text(real);
  std::free(real);
  return text;
}

// True when real (a resolved path) is top (a resolved directory) or lies
// below it.
bool LiesWithin(const std::string& real, const std::string& top) {
  if (top.empty() || real.compare(0, top.size(), top) != 0) return false;
  return real.size() == top.size() || top.back() == platform::PathDelimiter ||
         real[top.size()] == platform::PathDelimiter;
}

struct TPending {
  std::string dir;
  bool outside;  // reached through a link that leads out of the project
};

}  // namespace

TUnlistedPages CollectUnlistedPages(const std::string& dir, const TFileTable& table,
                                    const std::string& pageExtension,
                                    platform::DirectorySource& source,
                                    const platform::MessagePump& processMessages,
                                    const TScanFilter& filter, const TOutsideLinkBudget& budget) {
  const std::string pageKey = "." + UpperAscii(pageExtension);
  std::unordered_set<std::string> listedPaths;
  std::unordered_set<platform::FileId, platform::FileIdHash> listedIds;
  for (std::int32_t i = 1; i <= table.FileCount; ++i) {
    listedPaths.insert(table[i].Directory + table[i].Name);
    if (table[i].Id.Known()) listedIds.insert(table[i].Id);
  }
  const std::string realTop = RealPath(dir);

  std::unordered_set<platform::FileId, platform::FileIdHash> visited;
  if (const platform::FileId top = platform::IdentityOf(dir); top.Known()) visited.insert(top);
  TUnlistedPages result;
  std::size_t outsideEntries = 0;
  std::uint64_t outsideBytes = 0;
  std::vector<TPending> pending{{dir, false}};
  while (!pending.empty()) {
    const TPending current = std::move(pending.back());
    pending.pop_back();
    if (current.outside && result.OutsideCut) continue;
    // Out of the project a link may lead anywhere, /proc and /sys included,
    // whose folders hold no site and whose files are never read: they are
    // left out like a folder past the budget.
    if (current.outside && platform::LiesOnPseudoFileSystem(current.dir)) {
      result.OutsideCut = true;
      continue;
    }
    if (processMessages) processMessages();
    // Outside the project no more of a listing is read than the budget has
    // room for, and one entry more to tell that it did not hold it all.
    const std::size_t room = budget.Entries - outsideEntries;
    std::vector<platform::DirEntry> listing;
    try {
      listing = ReadListing(current.dir, source, filter, TWalk::Reading,
                            current.outside && room != SIZE_MAX ? room + 1 : SIZE_MAX);
    } catch (const platform::IoError&) {
      if (!current.outside) throw;
      result.OutsideCut = true;
      continue;
    }
    if (current.outside) {
      if (listing.size() > room) {
        result.OutsideCut = true;
        continue;
      }
      outsideEntries += listing.size();
    }
    std::vector<TPending> subdirectories;
    for (const platform::DirEntry& entry : listing) {
      const std::string path = current.dir + entry.Name;
      if ((entry.Attr & platform::faDirectory) != 0 || entry.DirectoryLink) {
        // A linked directory is entered only when its target is known, so
        // that it can be recognised when it is met again.
        const platform::FileId id = entry.DirectoryLink ? platform::IdentityOf(path) : entry.Id;
        if (id.Known() ? !visited.insert(id).second : entry.DirectoryLink) continue;
        const bool outside =
            current.outside || (entry.DirectoryLink && !LiesWithin(RealPath(path), realTop));
        subdirectories.push_back({path + platform::PathDelimiter, outside});
        continue;
      }
      if ((entry.Attr & platform::faArchive) == 0) continue;
      const std::string ext = UpperExtension(entry.Name);
      if (!IsReadExtension(ext, pageKey) && !TCfmlRules::IsReadExtension(ext)) continue;
      if (listedPaths.count(path) != 0) continue;
      if (entry.Id.Known() && listedIds.count(entry.Id) != 0) continue;
      if (current.outside) {
        if (entry.Size > budget.PageBytes - outsideBytes ||
            platform::LiesOnPseudoFileSystem(path)) {
          result.OutsideCut = true;
          break;
        }
        outsideBytes += entry.Size;
      }
      result.Pages.push_back(path);
    }
    // Depth first, in listing order.
    std::move(subdirectories.rbegin(), subdirectories.rend(), std::back_inserter(pending));
  }
  return result;
}

}  // namespace analysis

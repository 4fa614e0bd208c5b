#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/FileTable.h"
#include "analysis/ScanFilter.h"
#include "platform/DirectoryListing.h"
#include "platform/MessagePump.h"

namespace analysis {

// What the walk takes in through links to folders outside the project
// directory, where one link (to "/", say) would otherwise take it over the
// whole file system: the entries met there (files, folders and the rest) and
// the bytes of the pages found there, both counted before they are taken.
struct TOutsideLinkBudget {
  std::size_t Entries = 10000;
  std::uint64_t PageBytes = std::uint64_t{256} << 20;  // 256 MiB
};

struct TUnlistedPages {
  std::vector<std::string> Pages;
  // True when part of what links lead to outside the project was left out:
  // past the budget, or a folder there that could not be listed. The pages
  // there may name any file, so a run that goes on without them checks none.
  bool OutsideCut = false;
};

// The pages that the file table does not hold but whose references still
// count: the files met after the table was full, the files in folders
// reached through links to directories, and those in folders the keep list
// holds. The table never lists them; a file
// named only in one of them must still not be checked for deletion.
//
// Walks the tree below dir (ending in the path delimiter) on its own,
// entering linked directories too, each directory once by device and inode,
// so a link cycle ends; one directory is open at a time whatever the depth.
// Returns the full paths of the files whose extension the analysis reads
// (by the plain or the CFML rules) and that are not entries of table (by
// path, or by identity for the same file reached through a link), in walk
// order; what filter skips is never entered or read. processMessages runs
// once per directory.
//
// Below a link whose target lies outside dir, the walk stops taking entries
// once budget is spent and goes on with the rest of the project; a folder
// there that cannot be listed, and a folder or page there on a pseudo file
// system (platform::IsPseudoFileSystem), are left out the same way. Within the project
// a folder that cannot be listed throws platform::IoError naming it.
TUnlistedPages CollectUnlistedPages(const std::string& dir, const TFileTable& table,
                                    const std::string& pageExtension,
                                    platform::DirectorySource& source,
                                    const platform::MessagePump& processMessages,
                                    const TScanFilter& filter = TScanFilter(),
                                    const TOutsideLinkBudget& budget = TOutsideLinkBudget());

}  // namespace analysis

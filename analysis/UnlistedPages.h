#pragma once
#include <string>
#include <vector>

#include "analysis/FileTable.h"
#include "analysis/ScanFilter.h"
#include "platform/DirectoryListing.h"
#include "platform/MessagePump.h"

namespace analysis {

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
std::vector<std::string> CollectUnlistedPages(const std::string& dir, const TFileTable& table,
                                              const std::string& pageExtension,
                                              platform::DirectorySource& source,
                                              const platform::MessagePump& processMessages,
                                              const TScanFilter& filter = TScanFilter());

}  // namespace analysis

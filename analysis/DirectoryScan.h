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

// Lists every file below dir (which ends in the path delimiter) into table,
// depth first in listing order: a subdirectory's files stand where the
// subdirectory was met. Returns the number of files met, which goes on
// counting (files and directories alike) once the table is at its capacity;
// directories met after that are not opened. A directory that is gone
// (removed since its parent was listed) counts 0; one that is there but
// cannot be listed, or holds an entry that cannot be examined, ends the scan
// with platform::IoError naming its path: a page in it could name any file
// that the scan lists, so no verdict is given without it.
// processMessages runs once per subdirectory, before it is descended into.
// Each directory's listing is read whole and closed before the scan descends,
// so depth never exhausts file descriptors.
// When linkedDirectoryMet is given, it is set to true once the scan passes
// over a link to a directory (whose files it never lists). What filter skips
// is neither listed nor counted nor opened.
std::int32_t ScanDirectory(const std::string& dir, TFileTable& table,
                           platform::DirectorySource& source,
                           const platform::MessagePump& processMessages,
                           bool* linkedDirectoryMet = nullptr,
                           const TScanFilter& filter = TScanFilter());

// The entries of dir that carry an attribute bit, and the links to
// directories, without "." and ".." and what filter skips, in listing order;
// the listing is closed on return; no more than limit of them (the listing
// is not read further). Empty when dir is gone; throws platform::IoError
// naming the path when dir or an entry cannot be read.
std::vector<platform::DirEntry> ReadListing(const std::string& dir,
                                            platform::DirectorySource& source,
                                            const TScanFilter& filter = TScanFilter(),
                                            TWalk walk = TWalk::Listing,
                                            std::size_t limit = SIZE_MAX);

}  // namespace analysis

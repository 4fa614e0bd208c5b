#pragma once
#include <cstdint>
#include <string>

#include "analysis/FileTable.h"
#include "platform/DirectoryListing.h"
#include "platform/MessagePump.h"

namespace analysis {

// Lists every file below dir (which ends in the path delimiter) into table,
// depth first in listing order: a subdirectory's files stand where the
// subdirectory was met. Returns the number of files met, which goes on
// counting (files and directories alike) once the table is full; directories
// met after that are not opened. A directory that cannot be listed counts 0.
// processMessages runs once per subdirectory, before it is descended into.
std::int32_t ScanDirectory(const std::string& dir, TFileTable& table,
                           platform::DirectorySource& source,
                           const platform::MessagePump& processMessages);

}  // namespace analysis

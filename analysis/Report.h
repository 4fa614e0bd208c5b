#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "platform/DirectoryListing.h"

// quilmere-report DIR: the Process command's verdict on a directory as text,
// for scripts and continuous integration. It never deletes anything and never
// touches the settings store.
//
// Scans and analyses DIR as the Process command does, then writes one line per
// table entry in table order: "1" (unused) or "0", a tab, the directory, a
// tab, the name; and last the scan's count as "N files.". Warnings and errors
// go to err: "Not all files can be processed" when more files were met than
// the table holds (the report goes on), "Invalid directory" (exit code 2) for
// a directory that does not exist, an I/O error's text (exit code 1, nothing
// on out). Exit code 0 otherwise.
namespace analysis {

// args: the command-line arguments after the program name.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              platform::DirectorySource& source);

}  // namespace analysis

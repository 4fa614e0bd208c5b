#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "analysis/FileTable.h"
#include "analysis/ReferenceAnalysis.h"
#include "platform/DirectoryListing.h"
#include "platform/MessagePump.h"

// The Process command's work without its window: the directory text rules,
// the scan with its overflow warning, the analysis, and the file-count text.
// The window's BtnProcessClick and the quilmere-report program both drive it.
namespace analysis {

inline constexpr const char* InvalidDirectoryText = "Invalid directory";
inline constexpr const char* TooManyFilesText = "Not all files can be processed";
inline constexpr const char* GettingListingText = "  Getting directory listing...";

// text with the path delimiter appended unless it already ends in one.
std::string WithTrailingDelimiter(const std::string& text);

// The status text after a run: two blanks, the count, " files.", two blanks.
std::string FileCountText(std::int32_t count);

struct TProcessHooks {
  StatusSink ShowStatus;                   // panel 0 of the status bar
  platform::MessagePump ProcessMessages;   // between subdirectories and entries
  std::function<void()> BeforeScan;        // after the table is emptied
  std::function<void()> WarnTooManyFiles;  // the count exceeds the capacity
};

// Scans dir (an existing directory ending in the path delimiter) into table
// and analyses it with the page extension "cfm": shows GettingListingText,
// empties the table, runs BeforeScan, scans, calls WarnTooManyFiles when more
// files were met than the table's capacity (and goes on with those stored),
// analyses, reading also the pages that the table could not list (past its
// capacity, or behind links to directories) for their references.
// Returns the scan's count, which can exceed the capacity. An I/O error of the
// analysis leaves as platform::IoError with the table only partly analysed.
std::int32_t ScanAndAnalyze(const std::string& dir, TFileTable& table,
                            platform::DirectorySource& source, const TProcessHooks& hooks);

}  // namespace analysis

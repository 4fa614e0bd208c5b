#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "analysis/FileTable.h"
#include "analysis/ReferenceAnalysis.h"
#include "analysis/ScanFilter.h"
#include "analysis/UnlistedPages.h"
#include "platform/DirectoryListing.h"
#include "platform/MessagePump.h"

// The Process command's work without its window: the directory text rules,
// the scan with its overflow warning, the analysis, and the file-count text.
// The window's BtnProcessClick and the quilmere-report program both drive it.
namespace analysis {

inline constexpr const char* InvalidDirectoryText = "Invalid directory";
inline constexpr const char* TooManyFilesText = "Not all files can be processed";
inline constexpr const char* GettingListingText = "  Getting directory listing...";
inline constexpr const char* CancelledText = "  Cancelled.";
inline constexpr const char* OutsideLinksCutText =
    "Not all pages behind links out of the project were read: nothing is checked";

// text with the path delimiter appended unless it already ends in one.
std::string WithTrailingDelimiter(const std::string& text);

// A directory as people type or paste it: blanks around surrounding quotes
// and the quotes themselves go ('...' or "..."), and a leading "~" alone or
// "~/" stands for home. Anything else stays as typed.
std::string TypedDirectory(const std::string& text, const std::string& home);

// The status text after a run: two blanks, the count, " files.", two blanks.
std::string FileCountText(std::int32_t count);

struct TProcessHooks {
  StatusSink ShowStatus;                   // panel 0 of the status bar
  platform::MessagePump ProcessMessages;   // between subdirectories and entries, and
                                           // while a file is read, every 50 ms or so
  std::function<void()> BeforeScan;        // after the table is emptied
  std::function<void()> WarnTooManyFiles;  // the count exceeds the capacity
  ProgressSink Progress;                   // right before each ProcessMessages
  // Asked right after each ProcessMessages: true ends the run there.
  std::function<bool()> Cancelled;
  std::function<void()> WarnOutsideCut;    // see TUnlistedPages::OutsideCut
};

// A run that its Cancelled hook ended; the table is back as it was before.
class RunCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "The run was cancelled"; }
};

// What a run leaves out and keeps, as the settings or the command line say.
struct TScanOptions {
  // Names of entries never listed, counted, opened or read.
  std::vector<std::string> ExcludedNames = SplitExcludeDirs(DefaultExcludeDirs);
  // The keep list to read; empty: KeepListName at the top of the directory.
  std::string KeepListPath;
  // What is read through links to folders outside the project.
  TOutsideLinkBudget OutsideLinks;
};

// The keep list that a run of dir with options reads.
std::string KeepListPathFor(const std::string& dir, const TScanOptions& options);

// Scans dir (an existing directory ending in the path delimiter) into table
// and analyses it with the page extension "cfm": shows GettingListingText,
// empties the table, runs BeforeScan, scans, calls WarnTooManyFiles when more
// files were met than the table's capacity (and goes on with those stored),
// analyses, reading also the pages that the table could not list (past its
// capacity, or behind links to directories) for their references.
// The keep list is read first: one that cannot be read or is over its budget
// throws KeepListError before anything else happens, the table untouched.
// Entries the options exclude are left out; the files that the keep list
// holds, and the list itself, end up used with the list's line as reason.
// When links out of the project lead to more than options.OutsideLinks lets
// the walk take in, the run goes on without the rest, calls WarnOutsideCut,
// and leaves no entry checked (the verdicts stay in Unused): a page left
// unread might name any of them.
// Returns the scan's count, which can exceed the capacity. An I/O error of the
// scan or the analysis (a folder of the project that cannot be listed, a page
// that cannot be read) leaves as platform::IoError naming the path, with the
// table only partly analysed.
// When hooks.Cancelled says so (it is asked once per subdirectory during the
// scan and once per file during the analysis), the table gets back exactly
// what it held before the call, checks included, and RunCancelled leaves.
std::int32_t ScanAndAnalyze(const std::string& dir, TFileTable& table,
                            platform::DirectorySource& source, const TProcessHooks& hooks,
                            const TScanOptions& options = {});

// Marks entry i used because line of the keep list named listName holds it;
// its reason says so whatever the analysis found.
void MarkKept(TFileTable& table, std::int32_t i, const std::string& listName, int line);

}  // namespace analysis

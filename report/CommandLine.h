#pragma once
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/FileTable.h"
#include "analysis/ProcessCommand.h"
#include "platform/DirectoryListing.h"
#include "report/ReportWriter.h"

// quilmere-report [OPTION]... DIR: the Process command's verdict on a
// directory as text, for scripts and continuous integration. It never
// deletes anything and never touches the settings store.
//
// Scans and analyses DIR as the Process command does, with a table of
// --max-files entries (the window's 1000 by default), then writes the table
// with WriteReport in the --format asked for (tsv by default; json, sarif,
// github). With --check the exit status says whether a file is unused (and,
// with --baseline, not unused in the baseline already) and whether every
// file met was judged.
// Warnings and errors go to err: "Not all files can be processed" when more
// files were met than the table holds (the report goes on),
// OutsideLinksCutText when links out of the project led to more than the
// run reads (the report goes on, with exit status 1), "Invalid
// directory" for a directory that does not exist, an I/O error's text
// (nothing on out), a baseline or keep list that cannot be read, a usage
// error with the usage line, a failed write to out, and with --check the
// files that are not in the baseline and a table too small to judge every
// file. The exit statuses are below.
namespace report {

inline constexpr int ReportOk = 0;
inline constexpr int ReportIoError = 1;           // reading the tree or writing out
inline constexpr int ReportInvalidDirectory = 2;
inline constexpr int ReportUnusedFound = 3;       // with --check
inline constexpr int ReportNotAllJudged = 4;      // with --check: the table was too small
inline constexpr int ReportUsageError = 64;       // EX_USAGE of sysexits.h

inline constexpr const char* ReportUsageLine =
    "Usage: quilmere-report [--format=tsv|json|sarif|github] [--why] [--check] "
    "[--baseline=FILE] [--max-files=N] [--exclude-dir=NAME]... [--ignore-file=FILE] DIR";

struct TReportOptions {
  TReportFormat Format = TReportFormat::Tsv;
  bool Why = false;
  bool Check = false;
  std::string BaselinePath;  // empty: no baseline
  std::int32_t Capacity = analysis::MaxFiles;  // NoFileLimit (0): no limit
  bool Help = false;
  bool Version = false;
  std::string Directory;
  analysis::TScanOptions Scan;  // --exclude-dir adds names, --ignore-file names the list
};

// Reads the command-line arguments after the program name in the GNU form:
// long options anywhere among the operands, a value as "--name=value" or as
// the next argument, "--" ending the options (a lone "-" is an operand).
// Exactly one operand, DIR, unless --help or --version is given. Returns
// the error's text, or an empty text when args are well formed.
std::string ParseReportArguments(const std::vector<std::string>& args, TReportOptions& options);

// What the program around the report supplies.
struct TReportProgram {
  std::string VersionText = "quilmere-report";  // the --version line
  // The errno of the failed write to out, for the message; 0 when unknown.
  std::function<int()> OutputError;
};

// args: the command-line arguments after the program name. Returns the exit
// status.
int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              platform::DirectorySource& source, const TReportProgram& program = {});

}  // namespace report

#include "report/CommandLine.h"

#include <charconv>
#include <limits>
#include <exception>
#include <memory>
#include <new>
#include <optional>

#include "analysis/ProcessCommand.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"
#include "report/Baseline.h"

namespace report {

namespace {

constexpr const char* ProgramName = "quilmere-report";

// How many files unused since the baseline are named on standard error.
constexpr std::int32_t NamedNewFiles = 20;

constexpr const char* HelpText =
    "Scans DIR and its subfolders as Quilmere's Process command does and reports\n"
    "which files nothing refers to. Nothing is deleted.\n"
    "\n"
    "  --format=tsv     one line per file: 1 (unused) or 0, directory, name,\n"
    "                   tab-separated, then \"N files.\" (the default)\n"
    "  --format=json    one JSON document\n"
    "  --format=sarif   SARIF 2.1.0: one result per unused file, its path below DIR\n"
    "  --format=github  one GitHub workflow annotation (::warning) per unused file\n"
    "  --why            add why each used file is used\n"
    "  --check          exit with status 3 when any file is unused, 4 when the\n"
    "                   table could not hold every file (see --max-files)\n"
    "  --baseline=FILE  with --check: fail only on unused files that the earlier\n"
    "                   tsv or json report FILE does not call unused\n"
    "  --max-files=N    hold at most N files (default 1000, 0 for no limit)\n"
    "  --exclude-dir=NAME  leave out folders and files named NAME, besides the\n"
    "                   version-control data (.git .svn .hg .bzr CVS _darcs)\n"
    "  --ignore-file=FILE  read the keep list FILE instead of DIR/.quilmereignore\n"
    "  --help           show this text and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or the report not written,\n"
    "2 invalid directory, 3 unused files found (--check), 4 not every file judged\n"
    "(--check), 64 wrong usage.\n"
    "See quilmere-report(1).\n";

std::string ParseFormat(TReportOptions& options, std::string_view value) {
  if (value == "tsv") {
    options.Format = TReportFormat::Tsv;
  } else if (value == "json") {
    options.Format = TReportFormat::Json;
  } else if (value == "sarif") {
    options.Format = TReportFormat::Sarif;
  } else if (value == "github") {
    options.Format = TReportFormat::Github;
  } else {
    return "unknown format '" + std::string(value) + "' (tsv, json, sarif or github)";
  }
  return {};
}

std::string ParseMaxFiles(TReportOptions& options, std::string_view value) {
  std::int32_t n = 0;
  const char* const end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, n);
  if (value.empty() || value.front() == '-' || error != std::errc() || stop != end) {
    return "--max-files takes a whole number from 0 to " +
           std::to_string(std::numeric_limits<std::int32_t>::max()) + ", not '" +
           std::string(value) + "'";
  }
  options.Capacity = n;
  return {};
}

std::string AddExcludedName(TReportOptions& options, std::string_view value) {
  if (value.empty() || value.find('/') != std::string_view::npos) {
    return "--exclude-dir takes a file or folder name, not '" + std::string(value) + "'";
  }
  options.Scan.ExcludedNames.emplace_back(value);
  return {};
}

std::string SetKeepList(TReportOptions& options, std::string_view value) {
  if (value.empty()) return "--ignore-file takes a file name";
  options.Scan.KeepListPath = value;
  return {};
}

std::string SetBaseline(TReportOptions& options, std::string_view value) {
  if (value.empty()) return "--baseline takes a file name";
  options.BaselinePath = value;
  return {};
}

struct TOptionRule {
  std::string_view name;  // with its leading "--"
  bool takesValue;
  std::string (*apply)(TReportOptions&, std::string_view value);
};

constexpr TOptionRule Options[] = {
    {"--format", true, ParseFormat},
    {"--max-files", true, ParseMaxFiles},
    {"--exclude-dir", true, AddExcludedName},
    {"--ignore-file", true, SetKeepList},
    {"--baseline", true, SetBaseline},
    {"--why", false, [](TReportOptions& o, std::string_view) { o.Why = true; return std::string(); }},
    {"--check", false,
     [](TReportOptions& o, std::string_view) { o.Check = true; return std::string(); }},
    {"--help", false, [](TReportOptions& o, std::string_view) { o.Help = true; return std::string(); }},
    {"--version", false,
     [](TReportOptions& o, std::string_view) { o.Version = true; return std::string(); }},
};

const TOptionRule* FindOption(std::string_view name) {
  for (const TOptionRule& rule : Options) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

int UsageError(std::ostream& err, const std::string& text) {
  err << ProgramName << ": " << text << '\n' << ReportUsageLine << '\n' << std::flush;
  return ReportUsageError;
}

// --check's verdict on a written report: 4 when the table could not hold
// every file met (the files past it were never judged), else 3 when a file
// is unused and the baseline, if any, does not call it unused too. The
// files that fail against a baseline are named on err, the first few.
int CheckStatus(const analysis::TFileTable& table, std::int32_t count,
                const std::optional<TBaseline>& baseline, std::ostream& err) {
  if (count > table.Capacity()) {
    err << ProgramName << ": not every file was judged: the table holds " << table.Capacity()
        << " of the " << count << " files met; --max-files=0 holds them all\n";
    return ReportNotAllJudged;
  }
  std::int32_t failing = 0;
  for (std::int32_t i = 1; i <= table.FileCount; ++i) {
    const analysis::TFileName& entry = table[i];
    if (entry.Unused == 0 || (baseline && baseline->HoldsUnused(entry.Directory, entry.Name))) {
      continue;
    }
    if (!baseline) return ReportUnusedFound;
    if (++failing <= NamedNewFiles) {
      err << ProgramName << ": unused, not in the baseline: "
          << EscapeTsvField(entry.Directory + entry.Name) << '\n';
    }
  }
  if (failing > NamedNewFiles) {
    err << ProgramName << ": and " << failing - NamedNewFiles << " more\n";
  }
  return failing > 0 ? ReportUnusedFound : ReportOk;
}

// The end of every run that wrote to out: the text flushed, and a failed
// write reported.
int Finish(std::ostream& out, std::ostream& err, const TReportProgram& program, int status) {
  out.flush();
  if (out) return status;
  const int error = program.OutputError ? program.OutputError() : 0;
  err << ProgramName << ": cannot write the report";
  if (error != 0) err << ": " << platform::IoErrorText(error);
  err << '\n' << std::flush;
  return ReportIoError;
}

}  // namespace

std::string ParseReportArguments(const std::vector<std::string>& args, TReportOptions& options) {
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, equals);
    const TOptionRule* rule = arg.compare(0, 2, "--") == 0 ? FindOption(name) : nullptr;
    if (rule == nullptr) return "unknown option '" + arg + "'";
    std::string_view value;
    if (!rule->takesValue) {
      if (equals != std::string::npos) {
        return "option '" + std::string(name) + "' takes no value";
      }
    } else if (equals != std::string::npos) {
      value = std::string_view(arg).substr(equals + 1);
    } else if (k + 1 < args.size()) {
      value = args[++k];
    } else {
      return "option '" + std::string(name) + "' needs a value";
    }
    if (std::string error = rule->apply(options, value); !error.empty()) return error;
  }
  if (options.Help || options.Version) return {};
  if (!options.BaselinePath.empty() && !options.Check) return "--baseline works with --check only";
  if (operands.empty()) return "no directory given";
  if (operands.size() > 1) return "one directory only, not '" + operands[1] + "' as well";
  options.Directory = operands.front();
  return {};
}

namespace {

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        platform::DirectorySource& source, const TReportProgram& program) {
  TReportOptions options;
  if (const std::string error = ParseReportArguments(args, options); !error.empty()) {
    return UsageError(err, error);
  }
  if (options.Help) {
    out << ReportUsageLine << "\n\n" << HelpText;
    return Finish(out, err, program, ReportOk);
  }
  if (options.Version) {
    out << program.VersionText << '\n';
    return Finish(out, err, program, ReportOk);
  }
  // Unlike the window, which ignores a blank directory box, a blank argument
  // is reported: "/" appended to it could otherwise name the root.
  if (platform::IsBlankText(options.Directory)) {
    err << analysis::InvalidDirectoryText << '\n';
    return ReportInvalidDirectory;
  }
  const std::string dir = analysis::WithTrailingDelimiter(options.Directory);
  if (!platform::DirectoryExists(dir)) {
    err << analysis::InvalidDirectoryText << '\n';
    return ReportInvalidDirectory;
  }

  std::optional<TBaseline> baseline;
  if (!options.BaselinePath.empty()) {
    try {
      baseline = TBaseline::Read(options.BaselinePath);
    } catch (const BaselineError& e) {
      err << ProgramName << ": " << e.what() << '\n';
      return ReportIoError;
    }
  }

  auto table = std::make_unique<analysis::TFileTable>(options.Capacity);
  analysis::TProcessHooks hooks;
  hooks.WarnTooManyFiles = [&err] { err << analysis::TooManyFilesText << '\n' << std::flush; };
  // Pages left unread leave the verdict incomplete: the report is written,
  // and the status says that it cannot be trusted whole.
  bool outsideCut = false;
  hooks.WarnOutsideCut = [&err, &outsideCut] {
    err << analysis::OutsideLinksCutText << '\n' << std::flush;
    outsideCut = true;
  };
  std::int32_t count = 0;
  try {
    count = analysis::ScanAndAnalyze(dir, *table, source, hooks, options.Scan);
  } catch (const platform::IoError& e) {
    err << e.what() << '\n';
    return ReportIoError;
  } catch (const analysis::KeepListError& e) {
    err << ProgramName << ": " << e.what() << '\n';
    return ReportIoError;
  }

  WriteReport(out, dir, *table, count, options.Format, options.Why);
  if (outsideCut) return Finish(out, err, program, ReportIoError);
  const int status = options.Check ? CheckStatus(*table, count, baseline, err) : ReportOk;
  return Finish(out, err, program, status);
}

}  // namespace

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              platform::DirectorySource& source, const TReportProgram& program) {
  // Whatever a run cannot get (memory under a limit, a thread) ends it with
  // a message and the I/O status, never with an abort. The messages are
  // plain literals: a run out of memory may not be able to build a string.
  try {
    return Run(args, out, err, source, program);
  } catch (const std::bad_alloc&) {
    err << ProgramName << ": out of memory\n" << std::flush;
  } catch (const std::exception& e) {
    err << ProgramName << ": " << e.what() << '\n' << std::flush;
  }
  return ReportIoError;
}

}  // namespace report

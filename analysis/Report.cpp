#include "analysis/Report.h"

#include <charconv>
#include <limits>
#include <memory>

#include "analysis/JsonWriter.h"
#include "analysis/ProcessCommand.h"
#include "analysis/UseReason.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"

namespace analysis {

namespace {

constexpr const char* ProgramName = "quilmere-report";

constexpr const char* HelpText =
    "Scans DIR and its subfolders as Quilmere's Process command does and reports\n"
    "which files nothing refers to. Nothing is deleted.\n"
    "\n"
    "  --format=tsv     one line per file: 1 (unused) or 0, directory, name,\n"
    "                   tab-separated, then \"N files.\" (the default)\n"
    "  --format=json    one JSON document\n"
    "  --why            add why each used file is used\n"
    "  --check          exit with status 3 when any file is unused\n"
    "  --max-files=N    hold at most N files (default 1000, 0 for no limit)\n"
    "  --exclude-dir=NAME  leave out folders and files named NAME, besides the\n"
    "                   version-control data (.git .svn .hg .bzr CVS _darcs)\n"
    "  --ignore-file=FILE  read the keep list FILE instead of DIR/.quilmereignore\n"
    "  --help           show this text and exit\n"
    "  --version        show the version and exit\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or the report not written,\n"
    "2 invalid directory, 3 unused files found (--check), 64 wrong usage.\n"
    "See quilmere-report(1).\n";

// Bytes of report text gathered before they go to the stream.
constexpr std::size_t OutputChunk = 65536;

std::string ParseFormat(TReportOptions& options, std::string_view value) {
  if (value == "tsv") {
    options.Format = TReportFormat::Tsv;
  } else if (value == "json") {
    options.Format = TReportFormat::Json;
  } else {
    return "unknown format '" + std::string(value) + "' (tsv or json)";
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

// Gathers report text and hands it to the stream in chunks, so that a large
// table never sits whole in memory twice.
class TChunkedOutput {
 public:
  explicit TChunkedOutput(std::ostream& out) : out_(out) {}
  std::string& Text() { return text_; }
  // Hands the text over once it is large (always, when force).
  void Pass(bool force = false) {
    if (!force && text_.size() < OutputChunk) return;
    out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    text_.clear();
  }
  // False once a write to the stream has failed.
  bool Good() const { return static_cast<bool>(out_); }

 private:
  std::ostream& out_;
  std::string text_;
};

void AppendTsvField(std::string& line, std::string_view bytes) {
  for (char c : bytes) {
    switch (c) {
      case '\t': line += "\\t"; break;
      case '\n': line += "\\n"; break;
      case '\r': line += "\\r"; break;
      case '\\': line += "\\\\"; break;
      default: line += c;
    }
  }
}

void WriteTsvReport(const TFileTable& table, std::int32_t count, bool why,
                    TChunkedOutput& output) {
  std::string& text = output.Text();
  for (std::int32_t i = 1; i <= table.FileCount && output.Good(); ++i) {
    const TFileName& entry = table[i];
    text += entry.Unused ? '1' : '0';
    text += '\t';
    AppendTsvField(text, entry.Directory);
    text += '\t';
    AppendTsvField(text, entry.Name);
    if (why) {
      text += '\t';
      AppendTsvField(text, UseReasonText(entry));
    }
    text += '\n';
    output.Pass();
  }
  text += std::to_string(count) + " files.\n";
}

// {
//   "directory": DIR with its trailing "/",
//   "files_met": the scan's count,
//   "all_stored": whether the table held every file met,
//   "entries": [
//     {"directory": ..., "name": ..., "unused": true|false, "reason": text|null},
//     ...
//   ]
// }
// "reason" only with --why, null for an unused entry. Every text that is
// not valid UTF-8 comes with its exact bytes in "<key>_bytes" (base64).
void WriteJsonReport(const std::string& dir, const TFileTable& table, std::int32_t count,
                     bool why, TChunkedOutput& output) {
  TJsonWriter json;
  json.BeginObject();
  json.BytesField("directory", dir);
  json.Key("files_met");
  json.Int(count);
  json.Key("all_stored");
  json.Bool(count <= table.Capacity());
  json.Key("entries");
  json.BeginArray();
  for (std::int32_t i = 1; i <= table.FileCount && output.Good(); ++i) {
    const TFileName& entry = table[i];
    json.BeginObject();
    json.BytesField("directory", entry.Directory);
    json.BytesField("name", entry.Name);
    json.Key("unused");
    json.Bool(entry.Unused != 0);
    if (why) {
      if (entry.Unused != 0) {
        json.Key("reason");
        json.Null();
      } else {
        json.BytesField("reason", UseReasonText(entry));
      }
    }
    json.EndObject();
    if (json.Text().size() >= OutputChunk) {
      output.Text() += json.TakeText();
      output.Pass();
    }
  }
  json.EndArray();
  json.EndObject();
  output.Text() += json.TakeText();
}

int UsageError(std::ostream& err, const std::string& text) {
  err << ProgramName << ": " << text << '\n' << ReportUsageLine << '\n' << std::flush;
  return ReportUsageError;
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
  if (operands.empty()) return "no directory given";
  if (operands.size() > 1) return "one directory only, not '" + operands[1] + "' as well";
  options.Directory = operands.front();
  return {};
}

std::string EscapeTsvField(std::string_view bytes) {
  std::string field;
  AppendTsvField(field, bytes);
  return field;
}

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
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
    err << InvalidDirectoryText << '\n';
    return ReportInvalidDirectory;
  }
  const std::string dir = WithTrailingDelimiter(options.Directory);
  if (!platform::DirectoryExists(dir)) {
    err << InvalidDirectoryText << '\n';
    return ReportInvalidDirectory;
  }

  auto table = std::make_unique<TFileTable>(options.Capacity);
  TProcessHooks hooks;
  hooks.WarnTooManyFiles = [&err] { err << TooManyFilesText << '\n' << std::flush; };
  // Pages left unread leave the verdict incomplete: the report is written,
  // and the status says that it cannot be trusted whole.
  bool outsideCut = false;
  hooks.WarnOutsideCut = [&err, &outsideCut] {
    err << OutsideLinksCutText << '\n' << std::flush;
    outsideCut = true;
  };
  std::int32_t count = 0;
  try {
    count = ScanAndAnalyze(dir, *table, source, hooks, options.Scan);
  } catch (const platform::IoError& e) {
    err << e.what() << '\n';
    return ReportIoError;
  } catch (const KeepListError& e) {
    err << ProgramName << ": " << e.what() << '\n';
    return ReportIoError;
  }

  TChunkedOutput output(out);
  if (options.Format == TReportFormat::Json) {
    WriteJsonReport(dir, *table, count, options.Why, output);
  } else {
    WriteTsvReport(*table, count, options.Why, output);
  }
  output.Pass(true);

  bool anyUnused = false;
  for (std::int32_t i = 1; i <= table->FileCount && !anyUnused; ++i) {
    anyUnused = (*table)[i].Unused != 0;
  }
  if (outsideCut) return Finish(out, err, program, ReportIoError);
  return Finish(out, err, program,
                options.Check && anyUnused ? ReportUnusedFound : ReportOk);
}

}  // namespace analysis

#include "report/ReportWriter.h"

#include <filesystem>
#include <system_error>

#include "analysis/ProcessCommand.h"
#include "analysis/UseReason.h"
#include "report/JsonWriter.h"

namespace report {

namespace {

// Bytes of report text gathered before they go to the stream.
constexpr std::size_t OutputChunk = 65536;

// QUILMERE_VERSION is the project's version, handed in by the build.
constexpr const char* ToolName = "quilmere-report";
constexpr const char* ToolVersion = QUILMERE_VERSION;

constexpr const char* UnusedRuleId = "unused-file";
constexpr const char* UnusedRuleText = "A file of the site that nothing names";
constexpr const char* UnusedResultText = "Nothing in the site names this file.";
constexpr const char* UnusedAnnotationTitle = "Unused file";
constexpr const char* SarifSchema = "https://json.schemastore.org/sarif-2.1.0.json";
constexpr const char* SarifRootId = "SRCROOT";

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
  // Takes the JSON written so far once it is large.
  void PassJson(TJsonWriter& json, bool force = false) {
    if (!force && json.Text().size() < OutputChunk) return;
    text_ += json.TakeText();
    Pass(true);
  }
  // False once a write to the stream has failed.
  bool Good() const { return static_cast<bool>(out_); }

 private:
  std::ostream& out_;
  std::string text_;
};

bool AllStored(const analysis::TFileTable& table, std::int32_t count) {
  return count <= table.Capacity();
}

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

// UNUSED TAB DIRECTORY TAB NAME [TAB REASON] LF, one line per entry, then
// "N files." LF with the scan's count.
void WriteTsv(const analysis::TFileTable& table, std::int32_t count, bool why,
              TChunkedOutput& output) {
  std::string& text = output.Text();
  for (std::int32_t i = 1; i <= table.FileCount && output.Good(); ++i) {
    const analysis::TFileName& entry = table[i];
    text += entry.Unused ? '1' : '0';
    text += '\t';
    AppendTsvField(text, entry.Directory);
    text += '\t';
    AppendTsvField(text, entry.Name);
    if (why) {
      text += '\t';
      AppendTsvField(text, analysis::UseReasonText(entry));
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
// "reason" only with why, null for an unused entry. Every text that is not
// valid UTF-8 comes with its exact bytes in "<key>_bytes" (base64).
void WriteJson(const std::string& dir, const analysis::TFileTable& table, std::int32_t count,
               bool why, TChunkedOutput& output) {
  TJsonWriter json;
  json.BeginObject();
  json.BytesField("directory", dir);
  json.Key("files_met");
  json.Int(count);
  json.Key("all_stored");
  json.Bool(AllStored(table, count));
  json.Key("entries");
  json.BeginArray();
  for (std::int32_t i = 1; i <= table.FileCount && output.Good(); ++i) {
    const analysis::TFileName& entry = table[i];
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
        json.BytesField("reason", analysis::UseReasonText(entry));
      }
    }
    json.EndObject();
    output.PassJson(json);
  }
  json.EndArray();
  json.EndObject();
  output.PassJson(json, true);
}

// The entry's path below dir: its directory's part after dir, then its name.
// The scan stores every entry's directory as dir followed by subfolders.
std::string PathBelow(const std::string& dir, const analysis::TFileName& entry) {
  const std::size_t skip = entry.Directory.compare(0, dir.size(), dir) == 0 ? dir.size() : 0;
  return entry.Directory.substr(skip) + entry.Name;
}

// dir as the absolute "file:" URI that the relative locations resolve
// against; empty when the working folder that a relative dir hangs from is
// gone.
std::string DirectoryUri(const std::string& dir) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(dir, error);
  if (error) return {};
  std::string path = absolute.generic_string();
  if (path.empty() || path.back() != '/') path += '/';
  return "file://" + RelativePathUri(path);
}

// SARIF 2.1.0, one run:
// {
//   "$schema": SarifSchema, "version": "2.1.0",
//   "runs": [{
//     "tool": {"driver": {"name", "version", "rules": [the rule "unused-file"]}},
//     "invocations": [{"executionSuccessful": true,
//                      "toolExecutionNotifications": [...]}],   when not all stored
//     "originalUriBaseIds": {"SRCROOT": {"uri": "file:///.../DIR/"}},
//     "results": [
//       {"ruleId": "unused-file", "ruleIndex": 0, "level": "warning",
//        "message": {"text": ...},
//        "locations": [{"physicalLocation": {"artifactLocation":
//                        {"uri": path below DIR, "uriBaseId": "SRCROOT"}}}]},
//       ...
//     ],
//     "properties": {"filesMet": the scan's count, "allStored": ...}
//   }]
// }
// Results stand one to a line; every text in it is ASCII of our own or a
// percent-encoded path, so it needs no "_bytes" companions.
void WriteSarifHead(const std::string& dir, const analysis::TFileTable& table,
                    std::int32_t count, TJsonWriter& json) {
  json.BeginObject();
  json.Key("$schema");
  json.String(SarifSchema);
  json.Key("version");
  json.String("2.1.0");
  json.Key("runs");
  json.BeginArray();
  json.BeginObject();

  json.Key("tool");
  json.BeginObject();
  json.Key("driver");
  json.BeginObject();
  json.Key("name");
  json.String(ToolName);
  json.Key("version");
  json.String(ToolVersion);
  json.Key("rules");
  json.BeginArray();
  json.BeginObject();
  json.Key("id");
  json.String(UnusedRuleId);
  json.Key("shortDescription");
  json.BeginObject();
  json.Key("text");
  json.String(UnusedRuleText);
  json.EndObject();
  json.Key("defaultConfiguration");
  json.BeginObject();
  json.Key("level");
  json.String("warning");
  json.EndObject();
  json.EndObject();
  json.EndArray();
  json.EndObject();
  json.EndObject();

  json.Key("invocations");
  json.BeginArray();
  json.BeginObject();
  json.Key("executionSuccessful");
  json.Bool(true);
  if (!AllStored(table, count)) {
    json.Key("toolExecutionNotifications");
    json.BeginArray();
    json.BeginObject();
    json.Key("level");
    json.String("warning");
    json.Key("message");
    json.BeginObject();
    json.Key("text");
    json.String(analysis::TooManyFilesText);
    json.EndObject();
    json.EndObject();
    json.EndArray();
  }
  json.EndObject();
  json.EndArray();

  if (const std::string root = DirectoryUri(dir); !root.empty()) {
    json.Key("originalUriBaseIds");
    json.BeginObject();
    json.Key(SarifRootId);
    json.BeginObject();
    json.Key("uri");
    json.String(root);
    json.EndObject();
    json.EndObject();
  }
}

void WriteSarifResult(const std::string& dir, const analysis::TFileName& entry,
                      TJsonWriter& json) {
  json.BeginObject();
  json.Key("ruleId");
  json.String(UnusedRuleId);
  json.Key("ruleIndex");
  json.Int(0);
  json.Key("level");
  json.String("warning");
  json.Key("message");
  json.BeginObject();
  json.Key("text");
  json.String(UnusedResultText);
  json.EndObject();
  json.Key("locations");
  json.BeginArray();
  json.BeginObject();
  json.Key("physicalLocation");
  json.BeginObject();
  json.Key("artifactLocation");
  json.BeginObject();
  json.Key("uri");
  json.String(RelativePathUri(PathBelow(dir, entry)));
  json.Key("uriBaseId");
  json.String(SarifRootId);
  json.EndObject();
  json.EndObject();
  json.EndObject();
  json.EndArray();
  json.EndObject();
}

void WriteSarif(const std::string& dir, const analysis::TFileTable& table, std::int32_t count,
                TChunkedOutput& output) {
  // Lines down to the results' array members: the run's members and each
  // result on lines of their own.
  TJsonWriter json(4);
  WriteSarifHead(dir, table, count, json);
  json.Key("results");
  json.BeginArray();
  for (std::int32_t i = 1; i <= table.FileCount && output.Good(); ++i) {
    if (table[i].Unused == 0) continue;
    WriteSarifResult(dir, table[i], json);
    output.PassJson(json);
  }
  json.EndArray();
  json.Key("properties");
  json.BeginObject();
  json.Key("filesMet");
  json.Int(count);
  json.Key("allStored");
  json.Bool(AllStored(table, count));
  json.EndObject();
  json.EndObject();
  json.EndArray();
  json.EndObject();
  output.PassJson(json, true);
}

// ::warning file=DIRECTORY NAME,title=Unused file::Nothing names DIRECTORY NAME
// one line per unused entry; the path as the scan wrote it, so a DIR given
// relative to the checkout gives paths that the annotations resolve.
void WriteGithub(const analysis::TFileTable& table, TChunkedOutput& output) {
  std::string& text = output.Text();
  for (std::int32_t i = 1; i <= table.FileCount && output.Good(); ++i) {
    const analysis::TFileName& entry = table[i];
    if (entry.Unused == 0) continue;
    const std::string path = entry.Directory + entry.Name;
    text += "::warning file=";
    text += EscapeWorkflowProperty(path);
    text += ",title=";
    text += EscapeWorkflowProperty(UnusedAnnotationTitle);
    text += "::Nothing in the site names ";
    text += EscapeWorkflowData(path);
    text += '\n';
    output.Pass();
  }
}

void AppendWorkflowEscaped(std::string& out, std::string_view bytes, bool property) {
  for (char c : bytes) {
    switch (c) {
      case '%': out += "%25"; break;
      case '\r': out += "%0D"; break;
      case '\n': out += "%0A"; break;
      case ':': out += property ? "%3A" : ":"; break;
      case ',': out += property ? "%2C" : ","; break;
      default: out += c;
    }
  }
}

}  // namespace

void WriteReport(std::ostream& out, const std::string& dir, const analysis::TFileTable& table,
                 std::int32_t count, TReportFormat format, bool why) {
  TChunkedOutput output(out);
  switch (format) {
    case TReportFormat::Tsv: WriteTsv(table, count, why, output); break;
    case TReportFormat::Json: WriteJson(dir, table, count, why, output); break;
    case TReportFormat::Sarif: WriteSarif(dir, table, count, output); break;
    case TReportFormat::Github: WriteGithub(table, output); break;
  }
  output.Pass(true);
}

std::string EscapeTsvField(std::string_view bytes) {
  std::string field;
  AppendTsvField(field, bytes);
  return field;
}

std::string EscapeWorkflowData(std::string_view bytes) {
  std::string text;
  AppendWorkflowEscaped(text, bytes, false);
  return text;
}

std::string EscapeWorkflowProperty(std::string_view bytes) {
  std::string text;
  AppendWorkflowEscaped(text, bytes, true);
  return text;
}

std::string RelativePathUri(std::string_view path) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string uri;
  uri.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                            c == '~' || c == '/';
    if (unreserved) {
      uri += c;
    } else {
      uri += '%';
      uri += Hex[byte >> 4];
      uri += Hex[byte & 0xF];
    }
  }
  return uri;
}

}  // namespace report

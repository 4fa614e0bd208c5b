#include "report/Baseline.h"

#include <cerrno>
#include <optional>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "report/JsonReader.h"

namespace report {

namespace {

bool IsCountLine(std::string_view line) {
  constexpr std::string_view Tail = " files.";
  if (line.size() <= Tail.size() || line.substr(line.size() - Tail.size()) != Tail) return false;
  for (const char c : line.substr(0, line.size() - Tail.size())) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// One tsv field with its escapes undone; false for a backslash that is not
// one of the four escapes the report writes.
bool UnescapeTsvField(std::string_view field, std::string& bytes) {
  bytes.clear();
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      bytes += field[i];
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case 't': bytes += '\t'; break;
      case 'n': bytes += '\n'; break;
      case 'r': bytes += '\r'; break;
      case '\\': bytes += '\\'; break;
      default: return false;
    }
  }
  return true;
}

// The exact bytes of a json text field: "<key>_bytes" when the report wrote
// one, else the string.
struct TJsonText {
  std::string text, bytes;
  bool hasText = false, hasBytes = false;
  bool Get(std::string& out) const {
    if (hasBytes) return DecodeBase64(bytes, out);
    out = text;
    return hasText;
  }
};

}  // namespace

TBaseline TBaseline::Read(const std::string& path) {
  std::optional<std::string> text;
  try {
    text = platform::ReadSmallFile(path, MaxBytes);
  } catch (const platform::IoError& e) {
    throw BaselineError("Cannot read the baseline " + path + ": " + e.what());
  }
  if (!text) {
    throw BaselineError("Cannot read the baseline " + path + ": " + platform::IoErrorText(ENOENT));
  }
  try {
    return Parse(*text);
  } catch (const BaselineError& e) {
    throw BaselineError("The baseline " + path + " is not a quilmere-report report: " + e.what());
  }
}

TBaseline TBaseline::Parse(std::string_view text) {
  TBaseline baseline;
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start != std::string_view::npos && text[start] == '{') {
    baseline.ParseJson(text);
  } else {
    baseline.ParseTsv(text);
  }
  return baseline;
}

void TBaseline::Add(bool unused, const std::string& directory, const std::string& name) {
  if (++entries_ > MaxEntries) {
    throw BaselineError("more than " + std::to_string(MaxEntries) + " entries");
  }
  if (unused) unused_.insert(directory + name);
}

// Entry lines "0|1 TAB DIRECTORY TAB NAME [TAB REASON]", empty lines, and
// the "N files." line last. A line may end in CR LF (a copy that went
// through another system): a report's own CR is always escaped.
void TBaseline::ParseTsv(std::string_view text) {
  std::size_t lineNumber = 0;
  bool counted = false;
  std::string directory, name;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const auto fail = [lineNumber](const char* what) {
      throw BaselineError("line " + std::to_string(lineNumber) + ": " + what);
    };
    if (counted) fail("text after the \"N files.\" line");
    if (IsCountLine(line)) {
      counted = true;
      continue;
    }
    std::string_view fields[5];
    std::size_t count = 0;
    for (std::string_view rest = line;; ++count) {
      const std::size_t tab = rest.find('\t');
      if (count == std::size(fields)) fail("too many fields");
      fields[count] = rest.substr(0, tab);
      if (tab == std::string_view::npos) break;
      rest.remove_prefix(tab + 1);
    }
    ++count;
    if (count < 3 || count > 4 || (fields[0] != "0" && fields[0] != "1")) {
      fail("not \"0 or 1, directory, name\" separated by tabs");
    }
    if (!UnescapeTsvField(fields[1], directory) || !UnescapeTsvField(fields[2], name)) {
      fail("a backslash that is not \\t, \\n, \\r or \\\\");
    }
    Add(fields[0] == "1", directory, name);
  }
}

// {"entries": [{"directory": ..., "name": ..., "unused": ...}, ...], ...}
// with "directory_bytes" and "name_bytes" where the report wrote them;
// other members are passed over.
void TBaseline::ParseJson(std::string_view text) {
  try {
    TJsonReader json(text);
    json.BeginObject();
    bool hasEntries = false;
    for (std::string key; json.NextKey(key);) {
      if (key != "entries") {
        json.SkipValue();
        continue;
      }
      hasEntries = true;
      json.BeginArray();
      while (json.NextItem()) ParseJsonEntry(json);
    }
    json.End();
    if (!hasEntries) throw BaselineError("no \"entries\"");
  } catch (const JsonError& e) {
    throw BaselineError(e.what());
  }
}

void TBaseline::ParseJsonEntry(TJsonReader& json) {
  TJsonText directory, name;
  bool unused = false, hasUnused = false;
  json.BeginObject();
  for (std::string key; json.NextKey(key);) {
    if (key == "directory") {
      directory.text = json.String(), directory.hasText = true;
    } else if (key == "directory_bytes") {
      directory.bytes = json.String(), directory.hasBytes = true;
    } else if (key == "name") {
      name.text = json.String(), name.hasText = true;
    } else if (key == "name_bytes") {
      name.bytes = json.String(), name.hasBytes = true;
    } else if (key == "unused") {
      unused = json.Bool(), hasUnused = true;
    } else {
      json.SkipValue();
    }
  }
  std::string directoryBytes, nameBytes;
  if (!directory.Get(directoryBytes) || !name.Get(nameBytes) || !hasUnused) {
    throw BaselineError("an entry without its directory, name or unused flag");
  }
  Add(unused, directoryBytes, nameBytes);
}

}  // namespace report

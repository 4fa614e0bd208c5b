#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>

// A baseline: a previous tsv or json report, kept as the set of files it
// calls unused, so that --check fails only on files that became unused
// since. A file is the same file when its directory and name are the same
// bytes as the report wrote them (the same DIR argument gives the same
// paths); escapes of either format are undone first, so any name matches
// itself. Used entries are read and checked but not kept.
//
// The file is untrusted: at most MaxBytes (checked before anything is
// allocated for it) and MaxEntries entries, and any line or JSON text that is
// not a report's is refused, naming where.
namespace report {

class TJsonReader;

class BaselineError : public std::runtime_error {
 public:
  explicit BaselineError(const std::string& text) : std::runtime_error(text) {}
};

class TBaseline {
 public:
  static constexpr std::size_t MaxBytes = std::size_t{128} << 20;
  static constexpr std::size_t MaxEntries = 2'000'000;

  // Reads the baseline at path; BaselineError names the file.
  static TBaseline Read(const std::string& path);
  // A report's text, json when its first byte past blanks is '{', else tsv.
  // BaselineError names the line (tsv) or the byte (json).
  static TBaseline Parse(std::string_view text);

  bool HoldsUnused(const std::string& directory, const std::string& name) const {
    return unused_.count(directory + name) != 0;
  }
  std::size_t UnusedCount() const { return unused_.size(); }

 private:
  void Add(bool unused, const std::string& directory, const std::string& name);
  void ParseTsv(std::string_view text);
  void ParseJson(std::string_view text);
  void ParseJsonEntry(TJsonReader& json);

  // directory + name: directories end with '/' and names hold none, so the
  // joined text is one file's alone.
  std::unordered_set<std::string> unused_;
  std::size_t entries_ = 0;
};

}  // namespace report

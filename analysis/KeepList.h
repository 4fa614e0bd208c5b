#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// TKeepList: the project's keep list, a file at the project's top that names
// files and folders which must never be offered for deletion, whatever the
// analysis says of them. It is written in gitignore syntax, read byte-wise
// and case-sensitively (a name's bytes are the file system's, UTF-8 or not).
//
// Each line is compiled once, when the list is read, into slash-separated
// segments of tokens; matching then walks segments and bytes with one
// backtrack point per star, so a check costs at most the line's length
// times the path's length, whatever stars the line holds.
//
// The list only answers for the paths it is asked about: the caller does
// not descend into a folder the list keeps, so a "!" line below a kept
// folder never brings a file back, as with git.
//
// Owned by the run that loads it; immutable after Parse or Load, so Match
// may be called from any thread.
namespace analysis {

inline constexpr const char* KeepListName = ".quilmereignore";
inline constexpr std::size_t KeepListMaxBytes = 1 << 20;  // 1 MiB
inline constexpr std::size_t KeepListMaxLines = 10000;

// A keep list that cannot be read or is over its budget: what() is the full
// user-facing message, naming the file.
class KeepListError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TKeepList {
 public:
  TKeepList() = default;  // keeps nothing

  // Parses the list's bytes; sourceName names it in messages. A list over
  // KeepListMaxBytes or KeepListMaxLines throws KeepListError.
  static TKeepList Parse(std::string_view text, const std::string& sourceName);
  // Reads the list at path. A missing file is an empty list; a file that
  // cannot be opened or read (a directory among them) or is over the budget
  // throws KeepListError naming path. Never reads more than the budget and
  // one byte.
  static TKeepList Load(const std::string& path);

  // relativePath: relative to the project directory, '/' between
  // components, no leading or trailing '/'. The 1-based number of the last
  // line that matches it when that line is no "!" line; 0 when no line
  // matches or the last one that does is a "!" line.
  int Match(std::string_view relativePath, bool isDirectory) const;
  // True when the list holds no line that could match anything.
  bool Empty() const { return lines_.empty(); }

 private:
  enum class TokenKind : std::uint8_t { Byte, AnyByte, Star, Class, Slash };
  struct Token {
    TokenKind kind;
    unsigned char byte;        // Byte
    std::uint32_t classIndex;  // Class: into classes_
  };
  // A path component's pattern, or "**" standing alone between slashes,
  // which matches any number of whole components.
  struct Segment {
    std::uint32_t firstToken, tokenCount;
    bool anyDepth;
  };
  struct Line {
    int number;
    bool negated, dirOnly;
    // Matched against the whole path; else against its last component.
    bool anchored;
    std::uint32_t firstSegment, segmentCount;
  };

  // Adds the line numbered number (its end already trimmed); lines that can
  // never match are left out.
  void AddLine(std::string_view text, int number);
  // Appends the pattern's tokens; false when the pattern is malformed (an
  // unclosed bracket, an unknown [:class:], a dangling backslash).
  bool Tokenize(std::string_view pattern);
  // Reads the bracket expression opening at pattern[at]; the position after
  // its ']', or npos when it is malformed.
  std::size_t AddClass(std::string_view pattern, std::size_t at);

  bool LineMatches(const Line& line, const std::vector<std::string_view>& components) const;
  bool SegmentMatches(const Segment& segment, std::string_view component) const;
  bool TokenMatches(const Token& token, unsigned char byte) const;

  std::vector<Line> lines_;
  std::vector<Segment> segments_;
  std::vector<Token> tokens_;
  std::vector<std::bitset<256>> classes_;
};

// One anchored line that keeps exactly the file at relativePath: "/" and the
// path with every byte the syntax gives a meaning escaped by a backslash.
// Holds for any bytes in the path but NUL, newline and CR.
std::string KeepLineFor(std::string_view relativePath);

}  // namespace analysis

#include "analysis/KeepList.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace analysis {

namespace {

// The bytes that mean something in a pattern; KeepLineFor escapes them.
constexpr std::string_view SyntaxBytes = "*?[]!#\\";

constexpr bool IsUpper(int b) { return b >= 'A' && b <= 'Z'; }
constexpr bool IsLower(int b) { return b >= 'a' && b <= 'z'; }
constexpr bool IsDigit(int b) { return b >= '0' && b <= '9'; }
constexpr bool IsAlnum(int b) { return IsUpper(b) || IsLower(b) || IsDigit(b); }
constexpr bool IsGraph(int b) { return b > ' ' && b < 0x7f; }

// The [:name:] classes a bracket may hold, over ASCII only: every other
// byte is in none of them, as the rest of the program folds ASCII only.
struct NamedClass {
  std::string_view name;
  bool (*has)(int byte);
};
constexpr NamedClass NamedClasses[] = {
    {"alnum", IsAlnum},
    {"alpha", [](int b) { return IsUpper(b) || IsLower(b); }},
    {"blank", [](int b) { return b == ' ' || b == '\t'; }},
    {"cntrl", [](int b) { return b < ' ' || b == 0x7f; }},
    {"digit", IsDigit},
    {"graph", IsGraph},
    {"lower", IsLower},
    {"print", [](int b) { return b >= ' ' && b < 0x7f; }},
    {"punct", [](int b) { return IsGraph(b) && !IsAlnum(b); }},
    {"space", [](int b) { return b == ' ' || (b >= '\t' && b <= '\r'); }},
    {"upper", IsUpper},
    {"xdigit", [](int b) { return IsDigit(b) || (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F'); }},
};

// The line without its CR (a list saved with CRLF ends) and without the
// spaces at its end that no backslash escapes.
std::string_view TrimLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::size_t keep = 0;  // the length up to the last byte that stays
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ') continue;
    if (line[i] == '\\' && i + 1 < line.size()) ++i;  // the escaped byte stays
    keep = i + 1;
  }
  return line.substr(0, keep);
}

// The messages of a list over its budget.
std::string TooLargeMessage(const std::string& sourceName) {
  return "The keep list " + sourceName + " is larger than " +
         std::to_string(KeepListMaxBytes >> 20) + " MiB";
}
std::string TooLongMessage(const std::string& sourceName) {
  return "The keep list " + sourceName + " has more than " + std::to_string(KeepListMaxLines) +
         " lines";
}

}  // namespace

TKeepList TKeepList::Parse(std::string_view text, const std::string& sourceName) {
  if (text.size() > KeepListMaxBytes) throw KeepListError(TooLargeMessage(sourceName));
  TKeepList list;
  std::size_t count = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (++count > KeepListMaxLines) throw KeepListError(TooLongMessage(sourceName));
    list.AddLine(TrimLineEnd(text.substr(start, end - start)), static_cast<int>(count));
    start = end + 1;
  }
  return list;
}

TKeepList TKeepList::Load(const std::string& path) {
  std::optional<std::string> text;
  try {
    text = platform::ReadSmallFile(path, KeepListMaxBytes);
  } catch (const platform::IoError& e) {
    if (e.what() == std::string_view(platform::TooLargeText)) {
      throw KeepListError(TooLargeMessage(path));
    }
    throw KeepListError("Cannot read the keep list " + path + ": " + e.what());
  }
  // A project without a keep list keeps nothing.
  return text ? Parse(*text, path) : TKeepList();
}

// A line, once CR and trailing spaces are gone:
//
//   [!] [/] pattern [/]
//    |   |           +-- folders only
//    |   +-------------- anchored at the project's top (so is a line with a
//    |                   '/' inside the pattern); otherwise the pattern is
//    |                   matched against the last component at any depth
//    +------------------ negation: the path is not kept after all
//
// A line starting with '#' is a comment. The pattern is cut at its '/'
// into segments; a segment that is exactly "**" is any number of whole
// components (at least one when it ends the line, so "d/**" keeps what is
// inside d but not d). Elsewhere "**" is two stars, which match as one.
void TKeepList::AddLine(std::string_view text, int number) {
  if (text.empty() || text.front() == '#') return;
  Line line{number, false, false, false, static_cast<std::uint32_t>(segments_.size()), 0};
  if (text.front() == '!') {
    line.negated = true;
    text.remove_prefix(1);
  }
  if (!text.empty() && text.back() == '/') {
    line.dirOnly = true;
    text.remove_suffix(1);
  }
  if (!text.empty() && text.front() == '/') {
    line.anchored = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return;

  const std::size_t firstToken = tokens_.size(), firstClass = classes_.size();
  if (!Tokenize(text)) {
    // A malformed line never matches, as with git: drop what it added.
    tokens_.resize(firstToken);
    classes_.resize(firstClass);
    return;
  }
  const auto isSlash = [](const Token& t) { return t.kind == TokenKind::Slash; };
  line.anchored = line.anchored ||
                  std::any_of(tokens_.begin() + static_cast<std::ptrdiff_t>(firstToken),
                              tokens_.end(), isSlash);
  std::size_t start = firstToken;
  for (std::size_t i = firstToken; i <= tokens_.size(); ++i) {
    if (i < tokens_.size() && !isSlash(tokens_[i])) continue;
    const auto count = static_cast<std::uint32_t>(i - start);
    const bool anyDepth = line.anchored && count == 2 &&
                          tokens_[start].kind == TokenKind::Star &&
                          tokens_[start + 1].kind == TokenKind::Star;
    if (anyDepth && i == tokens_.size()) {
      // A closing "**": one component of any name, then any more.
      segments_.push_back({static_cast<std::uint32_t>(start), 1, false});
    }
    segments_.push_back({static_cast<std::uint32_t>(start), count, anyDepth});
    start = i + 1;
  }
  line.segmentCount = static_cast<std::uint32_t>(segments_.size() - line.firstSegment);
  lines_.push_back(line);
}

bool TKeepList::Tokenize(std::string_view pattern) {
  for (std::size_t i = 0; i < pattern.size();) {
    unsigned char c = static_cast<unsigned char>(pattern[i]);
    switch (c) {
      case '[':
        i = AddClass(pattern, i);
        if (i == std::string_view::npos) return false;
        continue;
      case '*':
        tokens_.push_back({TokenKind::Star, 0, 0});
        break;
      case '?':
        tokens_.push_back({TokenKind::AnyByte, 0, 0});
        break;
      case '/':
        tokens_.push_back({TokenKind::Slash, 0, 0});
        break;
      case '\\':
        if (++i == pattern.size()) return false;
        c = static_cast<unsigned char>(pattern[i]);
        // An escaped '/' still matches only the separator.
        tokens_.push_back({c == '/' ? TokenKind::Slash : TokenKind::Byte, c, 0});
        break;
      default:
        tokens_.push_back({TokenKind::Byte, c, 0});
    }
    ++i;
  }
  return true;
}

// [ [!^] item... ]   where an item is a byte, "\x" (x itself), a range
// "a-z" (either end may be escaped) or "[:name:]". A ']' right after the
// opening (and its negation) is a member; so is a '-' first or last.
std::size_t TKeepList::AddClass(std::string_view pattern, std::size_t at) {
  constexpr std::size_t Malformed = std::string_view::npos;
  constexpr int NoRangeStart = -1;
  std::bitset<256> members;
  std::size_t i = at + 1;
  const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
  if (negated) ++i;
  int rangeStart = NoRangeStart;  // the member a following '-' ranges from
  for (bool first = true;; first = false) {
    if (i >= pattern.size()) return Malformed;
    int c = static_cast<unsigned char>(pattern[i]);
    if (c == ']' && !first) break;
    if (c == '\\') {
      if (++i == pattern.size()) return Malformed;
      c = static_cast<unsigned char>(pattern[i]);
    } else if (c == '-' && rangeStart != NoRangeStart && i + 1 < pattern.size() &&
               pattern[i + 1] != ']') {
      c = static_cast<unsigned char>(pattern[++i]);
      if (c == '\\') {
        if (++i == pattern.size()) return Malformed;
        c = static_cast<unsigned char>(pattern[i]);
      }
      for (int b = rangeStart; b <= c; ++b) members.set(static_cast<std::size_t>(b));
      rangeStart = NoRangeStart;
      ++i;
      continue;
    } else if (c == '[' && i + 1 < pattern.size() && pattern[i + 1] == ':') {
      const std::size_t close = pattern.find(']', i + 2);
      if (close == std::string_view::npos) return Malformed;
      if (close > i + 2 && pattern[close - 1] == ':') {
        const std::string_view name = pattern.substr(i + 2, close - 1 - (i + 2));
        const auto* named = std::find_if(std::begin(NamedClasses), std::end(NamedClasses),
                                         [&](const NamedClass& n) { return n.name == name; });
        if (named == std::end(NamedClasses)) return Malformed;
        for (int b = 0; b < 256; ++b) {
          if (named->has(b)) members.set(static_cast<std::size_t>(b));
        }
        rangeStart = NoRangeStart;
        i = close + 1;
        continue;
      }
      // No ":]" before the ']': the '[' is a plain member.
    }
    members.set(static_cast<std::size_t>(c));
    rangeStart = c;
    ++i;
  }
  if (negated) members.flip();
  tokens_.push_back({TokenKind::Class, 0, static_cast<std::uint32_t>(classes_.size())});
  classes_.push_back(members);
  return i + 1;
}

int TKeepList::Match(std::string_view relativePath, bool isDirectory) const {
  if (lines_.empty()) return 0;
  std::vector<std::string_view> components;
  for (std::size_t start = 0;;) {
    const std::size_t slash = relativePath.find('/', start);
    components.push_back(relativePath.substr(start, slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  // The last line that matches decides, so the first one found from the end.
  for (auto line = lines_.rbegin(); line != lines_.rend(); ++line) {
    if (line->dirOnly && !isDirectory) continue;
    if (LineMatches(*line, components)) return line->negated ? 0 : line->number;
  }
  return 0;
}

// Both matchers below are the classic wildcard walk: a star (a "**" segment
// here, a '*' token in SegmentMatches) first takes nothing, and on a
// mismatch the walk returns to the last star and lets it take one unit
// more. Every other item takes exactly one unit, so going back to an
// earlier star never finds a match the last one missed, and each (item,
// unit) pair is tried at most once per star: the cost is bounded by the
// pattern's length times the path's, with no exponential backtracking.
bool TKeepList::LineMatches(const Line& line,
                            const std::vector<std::string_view>& components) const {
  const Segment* segments = segments_.data() + line.firstSegment;
  const std::size_t count = line.segmentCount;
  if (!line.anchored) return SegmentMatches(segments[0], components.back());

  constexpr std::size_t NoStar = static_cast<std::size_t>(-1);
  std::size_t s = 0, c = 0, starSegment = NoStar, starComponent = 0;
  while (c < components.size()) {
    if (s < count && segments[s].anyDepth) {
      starSegment = s++;
      starComponent = c;
    } else if (s < count && SegmentMatches(segments[s], components[c])) {
      ++s;
      ++c;
    } else if (starSegment != NoStar) {
      s = starSegment + 1;
      c = ++starComponent;
    } else {
      return false;
    }
  }
  while (s < count && segments[s].anyDepth) ++s;
  return s == count;
}

bool TKeepList::SegmentMatches(const Segment& segment, std::string_view component) const {
  const Token* tokens = tokens_.data() + segment.firstToken;
  const std::size_t count = segment.tokenCount;
  constexpr std::size_t NoStar = static_cast<std::size_t>(-1);
  std::size_t t = 0, b = 0, starToken = NoStar, starByte = 0;
  while (b < component.size()) {
    const auto byte = static_cast<unsigned char>(component[b]);
    if (t < count && tokens[t].kind == TokenKind::Star) {
      starToken = t++;
      starByte = b;
    } else if (t < count && TokenMatches(tokens[t], byte)) {
      ++t;
      ++b;
    } else if (starToken != NoStar) {
      t = starToken + 1;
      b = ++starByte;
    } else {
      return false;
    }
  }
  while (t < count && tokens[t].kind == TokenKind::Star) ++t;
  return t == count;
}

bool TKeepList::TokenMatches(const Token& token, unsigned char byte) const {
  switch (token.kind) {
    case TokenKind::Byte:
      return token.byte == byte;
    case TokenKind::AnyByte:
      return true;  // components hold no '/'
    case TokenKind::Class:
      return classes_[token.classIndex].test(byte);
    case TokenKind::Star:
    case TokenKind::Slash:
      break;
  }
  return false;
}

std::string KeepLineFor(std::string_view relativePath) {
  std::string line = "/";
  line.reserve(1 + 2 * relativePath.size());
  for (std::size_t i = 0; i < relativePath.size(); ++i) {
    const char c = relativePath[i];
    // A space at the end would be trimmed; one at the start is escaped too,
    // so that the line reads the same wherever it is copied to.
    const bool edgeSpace = c == ' ' && (i == 0 || i + 1 == relativePath.size());
    if (edgeSpace || SyntaxBytes.find(c) != std::string_view::npos) line += '\\';
    line += c;
  }
  return line;
}

}  // namespace analysis

#include "analysis/ModuleSpecifiers.h"

namespace analysis {

namespace {

// Whether the word ending just before offset end is word (upper-cased), as
// a whole token.
bool WordBefore(const TTextWindow& text, std::int64_t end, const char* word) {
  const std::int64_t start = text.TokenStart(end, 16);
  return start >= 0 && start < end && text.Upper(start, end) == word;
}

// The offset just past the blanks (line ends included) before offset end.
std::int64_t SkipBlanksBack(const TTextWindow& text, std::int64_t end) {
  std::int64_t o = end;
  while (end - o < TModuleSpecifiers::MaxBlanks) {
    const int c = text.At(o - 1);
    if (!IsBlank(c) && c != '\r' && c != '\n') break;
    --o;
  }
  return o;
}

}  // namespace

std::vector<TRuleLiteral> TModuleSpecifiers::Literals() {
  std::vector<TRuleLiteral> literals;
  for (const char* quote : {"\"", "'", "`"}) {
    for (const char* lead : {"./", "../"}) literals.push_back({std::string(quote) + lead, 0});
  }
  return literals;
}

bool TModuleSpecifiers::LoadsBefore(const TTextWindow& text, std::int64_t quote) {
  const std::int64_t o = SkipBlanksBack(text, quote);
  if (text.At(o - 1) == '(') {
    const std::int64_t call = SkipBlanksBack(text, o - 1);
    return WordBefore(text, call, "REQUIRE") || WordBefore(text, call, "IMPORT");
  }
  return WordBefore(text, o, "FROM") || WordBefore(text, o, "IMPORT");
}

TLook TModuleSpecifiers::ReadLast(const TTextWindow& text, std::int64_t from, int quote,
                                  std::string& last) {
  last.clear();
  for (std::int64_t o = from;; ++o) {
    if (o - from > MaxSpecifier) return TLook::Miss;
    const int c = text.At(o);
    if (c == LaterByte) return TLook::Later;
    if (c == quote) break;
    // A line end or the text's end: no string; "$", "?", "#": no path.
    if (c == NoByte || c == '\n' || c == '$' || c == '?' || c == '#') return TLook::Miss;
    if (c == '/') {
      last.clear();
    } else {
      last += Fold(c);
    }
  }
  if (last.empty() || last.find('.') != std::string::npos) return TLook::Miss;
  return TLook::Hit;
}

TLook TModuleSpecifiers::Look(const TTextWindow& text, std::int64_t start, std::int64_t end,
                              std::string& last) {
  if (!LoadsBefore(text, start)) return TLook::Miss;
  return ReadLast(text, end, text.At(start), last);
}

std::vector<std::string> TModuleSpecifiers::FileNames(const std::string& last) {
  std::vector<std::string> names;
  for (const char* ext : {".JS", ".MJS", ".TS", ".JSX", ".VUE"}) names.push_back(last + ext);
  return names;
}

}  // namespace analysis

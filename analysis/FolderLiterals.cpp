#include "analysis/FolderLiterals.h"

namespace analysis {

namespace {

constexpr TByteClass SegmentBytes(
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.@-");

}  // namespace

void TFolderLiterals::Add(std::int32_t entry, const std::vector<std::string>& folders) {
  if (lastLists_.empty() || folders != lastFolders_) {
    lastFolders_ = folders;
    lastLists_.clear();
    for (std::size_t d = 1; d < folders.size(); ++d) {
      lastLists_.push_back(&below_[folders[d - 1] + '/' + folders[d] + '/']);
    }
  }
  for (std::vector<std::int32_t>* list : lastLists_) list->push_back(entry);
}

std::vector<TRuleLiteral> TFolderLiterals::Literals() {
  std::vector<TRuleLiteral> literals;
  for (auto& [path, entries] : below_) {
    literals.push_back({path, static_cast<std::uint32_t>(groups_.size())});
    groups_.push_back(std::move(entries));
  }
  below_.clear();
  lastFolders_.clear();
  lastLists_.clear();
  return literals;
}

TLook TFolderLiterals::Look(const TTextWindow& text, std::int64_t start, std::int64_t end) {
  const int quote = text.At(end);
  if (quote == LaterByte) return TLook::Later;
  if (!IsQuote(quote)) return TLook::Miss;
  // Back to the opening quote over segment bytes and "/", counting the
  // segments before A/B/: the literal's last two are A and B by the match.
  std::int64_t o = start - 1;
  for (; start - o <= MaxLiteral; --o) {
    const int c = text.At(o);
    if (c == quote) break;
    if (c != '/' && !SegmentBytes(c)) return TLook::Miss;
  }
  if (text.At(o) != quote) return TLook::Miss;
  // What stands before A must end a segment: the quote itself, or "/" after
  // a non-empty segment or as the literal's first byte ("/", "./", "../").
  if (o == start - 1) return TLook::Hit;
  if (text.At(start - 1) != '/') return TLook::Miss;
  for (std::int64_t k = o + 2; k < start; ++k) {
    if (text.At(k) == '/' && text.At(k - 1) == '/') return TLook::Miss;  // an empty segment
  }
  return TLook::Hit;
}

}  // namespace analysis

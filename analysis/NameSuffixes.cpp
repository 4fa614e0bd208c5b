#include "analysis/NameSuffixes.h"

#include <algorithm>

#include "analysis/CfmlFileKinds.h"

namespace analysis {

namespace {

constexpr std::int64_t MaxBlanks = 64;  // between "&" and the quote
const char* const Closers[] = {"\"", "'", "@", "."};

bool AllTokenBytes(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return IsTokenByte(static_cast<unsigned char>(c));
  });
}

}  // namespace

TNameSuffixes::TNameSuffixes(const std::vector<std::pair<std::string, std::int32_t>>& stems) {
  for (const auto& [stem, entry] : stems) {
    ends_.emplace_back(std::string(stem.rbegin(), stem.rend()), entry);
    longest_ = std::max(longest_, static_cast<std::int64_t>(stem.size()));
  }
  std::sort(ends_.begin(), ends_.end());
  marks_ = RangeMarker(ends_.size());
  // One group per last MinSuffix bytes; S is a token, so bytes that are
  // not can end no S.
  for (std::size_t k = 0; k < ends_.size();) {
    const std::string& end = ends_[k].first;
    if (end.size() < MinSuffix || !AllTokenBytes(end.substr(0, MinSuffix))) {
      ++k;
      continue;
    }
    const std::string head = end.substr(0, MinSuffix);
    Group g{k, k, std::string(head.rbegin(), head.rend())};
    while (g.hi < ends_.size() && ends_[g.hi].first.compare(0, MinSuffix, head) == 0) ++g.hi;
    k = g.hi;
    groups_.push_back(std::move(g));
  }
}

std::vector<TRuleLiteral> TNameSuffixes::Literals() const {
  std::vector<TRuleLiteral> literals;
  for (std::uint32_t g = 0; g < groups_.size(); ++g) {
    for (const char* closer : Closers) literals.push_back({groups_[g].last + closer, g});
  }
  return literals;
}

TLook TNameSuffixes::Look(const TTextWindow& text, std::int64_t /*start*/, std::int64_t end,
                          std::string& suffix) const {
  const std::int64_t close = end - 1;
  if (text.At(close) == '.') {
    // The extension: letters up to a byte that ends it.
    std::int64_t o = end;
    for (; IsTokenByte(text.At(o)); ++o) {
      if (o - end >= MaxExtension) return TLook::Miss;
    }
    if (text.At(o) == LaterByte) return TLook::Later;
    if (!IsCfmlFile("." + text.Upper(end, o))) return TLook::Miss;
  }
  const std::int64_t from = text.TokenStart(close, longest_);
  if (from < 0 || close - from < static_cast<std::int64_t>(MinSuffix)) return TLook::Miss;
  const int before = text.At(from - 1);
  if (before != '#') {
    if (!IsQuote(before)) return TLook::Miss;
    std::int64_t o = from - 2;
    while (IsBlank(text.At(o)) && from - o <= MaxBlanks) --o;
    if (text.At(o) != '&') return TLook::Miss;
  }
  suffix = text.Upper(from, close);
  return TLook::Hit;
}

std::pair<std::size_t, std::size_t> TNameSuffixes::Run(const std::string& suffix) const {
  const std::string key(suffix.rbegin(), suffix.rend());
  const auto lo = std::lower_bound(ends_.begin(), ends_.end(),
                                   std::pair<std::string, std::int32_t>(key, INT32_MIN));
  const auto hi = std::partition_point(lo, ends_.end(), [&](const auto& e) {
    return e.first.compare(0, key.size(), key) == 0;
  });
  return {static_cast<std::size_t>(lo - ends_.begin()), static_cast<std::size_t>(hi - ends_.begin())};
}

}  // namespace analysis

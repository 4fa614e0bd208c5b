#include "analysis/NameSuffixes.h"

#include <algorithm>

#include "analysis/CfmlFileKinds.h"

namespace analysis {

namespace {

constexpr std::int64_t MaxBlanks = 63;  // between "&" and the quote

bool IsCloser(int c) { return c == '"' || c == '\'' || c == '@' || c == '.'; }

constexpr unsigned EndBits = 16;  // bits of the hash of a stem's last bytes

// The hash of four upper-cased bytes, the last one lowest.
std::uint32_t EndHash(std::uint32_t packed) { return (packed * 0x9E3779B1u) >> (32 - EndBits); }

}  // namespace

TNameSuffixes::TNameSuffixes(const std::vector<std::pair<std::string, std::int32_t>>& stems) {
  for (const auto& [stem, entry] : stems) {
    ends_.emplace_back(std::string(stem.rbegin(), stem.rend()), entry);
    longest_ = std::max(longest_, static_cast<std::int64_t>(stem.size()));
  }
  std::sort(ends_.begin(), ends_.end());
  marks_ = RangeMarker(ends_.size());
  endBits_.assign((std::size_t{1} << EndBits) / 64, 0);
  for (const auto& [end, entry] : ends_) {
    if (end.size() < MinSuffix) continue;
    std::uint32_t packed = 0;
    for (std::size_t j = MinSuffix; j-- > 0;) packed = packed << 8 | static_cast<unsigned char>(end[j]);
    const std::uint32_t bit = EndHash(packed);
    endBits_[bit / 64] |= std::uint64_t{1} << (bit % 64);
  }
}

bool TNameSuffixes::MayEndStem(const TTextWindow& text, std::int64_t end) const {
  static_assert(MinSuffix == 4, "a suffix's last bytes are hashed as one 32-bit word");
  std::uint32_t packed = 0;
  for (std::int64_t o = end - 4; o < end; ++o) {
    packed = packed << 8 | static_cast<unsigned char>(Fold(text.At(o)));
  }
  const std::uint32_t bit = EndHash(packed);
  return (endBits_[bit / 64] >> (bit % 64) & 1) != 0;
}

TLook TNameSuffixes::Look(const TTextWindow& text, std::int64_t from, std::string& suffix,
                          std::int64_t& close) const {
  // S: no stem ends with a token longer than the longest stem.
  std::int64_t o = from;
  int c = 0;
  if (from >= text.first && from + longest_ < text.last) {
    // Every byte the token may take is at hand (as it mostly is): walked by
    // pointer, as this runs at every "#".
    const unsigned char* const bytes = text.block - text.offset;  // bytes[o]: offset o
    o += static_cast<std::int64_t>(TokenRun(bytes + from, bytes + from + longest_ + 1));
    if (o - from > longest_) return TLook::Miss;
    c = bytes[o];
  } else {
    for (c = text.At(o); IsTokenByte(c); c = text.At(++o)) {
      if (o - from >= longest_) return TLook::Miss;
    }
  }
  if (c == LaterByte) return TLook::Later;
  if (o - from < static_cast<std::int64_t>(MinSuffix) || !IsCloser(c)) return TLook::Miss;
  if (!MayEndStem(text, o)) return TLook::Miss;
  if (c == '.') {
    // The extension: letters up to a byte that ends it.
    std::int64_t e = o + 1;
    for (; IsTokenByte(text.At(e)); ++e) {
      if (e - (o + 1) >= MaxExtension) return TLook::Miss;
    }
    if (text.At(e) == LaterByte) return TLook::Later;
    if (!IsCfmlFile("." + text.Upper(o + 1, e))) return TLook::Miss;
  }
  suffix = text.Upper(from, o);
  close = o;
  return TLook::Hit;
}

TLook TNameSuffixes::LookJoined(const TTextWindow& text, std::int64_t o, std::string& suffix,
                                std::int64_t& close) const {
  std::int64_t q = o + 1;
  while (IsBlank(text.At(q)) && q - o <= MaxBlanks) ++q;
  const int c = text.At(q);
  if (c == LaterByte) return TLook::Later;
  if (!IsQuote(c)) return TLook::Miss;
  return Look(text, q + 1, suffix, close);
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

#include "analysis/NameWalk.h"

#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

namespace analysis {

TNameWalk::TNameWalk(match::TNameMatcher matcher, std::vector<bool> walked)
    : matcher_(std::move(matcher)), walked_(std::move(walked)) {}

platform::TBlockReader::Note TNameWalk::Block(std::size_t file, unsigned char* data,
                                              std::size_t size, bool last) {
  const bool folded = matcher_.PrefersFolded();
  if (folded) match::TNameMatcher::FoldAscii(data, size);
  if (file >= walked_.size() || !walked_[file]) return nullptr;
  if (retiringAny_.load(std::memory_order_acquire)) {
    std::vector<std::uint32_t> ids;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ids.swap(retiring_);
      retiringAny_.store(false, std::memory_order_relaxed);
    }
    for (std::uint32_t id : ids) matcher_.Retire(id);
  }
  if (file != file_) {
    file_ = file;
    matcher_.Start();
  }
  auto names = std::make_shared<TBlockNames>();
  data_ = data;
  names_ = names.get();
  matcher_.Feed(reinterpret_cast<const char*>(data), size, this, folded);
  names_ = nullptr;
  // The automaton walks a block as several stretches at once, so its places
  // may come stretch by stretch; the rules take them in the text's order,
  // so that a reason names the first place that gave it, whatever the path.
  auto& places = names->places;
  const auto byEnd = [](const auto& a, const auto& b) { return a.second < b.second; };
  if (!std::is_sorted(places.begin(), places.end(), byEnd)) SortByEnd(places);
  if (last) {
    names->ended = true;
    names->found = matcher_.Found();
    file_ = SIZE_MAX;
  }
  return names;
}

// Stably, by a counting sort on each byte of the ends, the lowest first: the
// places come as the stretches' runs interleaved, which a comparison sort
// would spend more on than the matcher spent finding them.
void TNameWalk::SortByEnd(std::vector<std::pair<std::uint32_t, std::uint32_t>>& places) {
  std::uint32_t most = 0;
  for (const auto& place : places) most = std::max(most, place.second);
  spare_.resize(places.size());
  for (unsigned shift = 0; shift < 32 && (most >> shift) != 0; shift += 8) {
    std::array<std::uint32_t, 257> at{};
    for (const auto& place : places) ++at[((place.second >> shift) & 0xffu) + 1];
    std::partial_sum(at.begin(), at.end(), at.begin());
    for (const auto& place : places) spare_[at[(place.second >> shift) & 0xffu]++] = place;
    places.swap(spare_);
  }
}

std::vector<std::uint32_t> TNameWalk::End(std::size_t file) {
  if (file >= walked_.size() || !walked_[file]) return {};
  if (file != file_) matcher_.Start();  // no block: the names found in every text
  file_ = SIZE_MAX;
  return matcher_.Found();
}

void TNameWalk::Retire(std::uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  retiring_.push_back(id);
  retiringAny_.store(true, std::memory_order_release);
}

bool TNameWalk::OnMatch(std::uint32_t id, const unsigned char* end) {
  names_->places.emplace_back(id, static_cast<std::uint32_t>(end - data_));
  return true;
}

}  // namespace analysis

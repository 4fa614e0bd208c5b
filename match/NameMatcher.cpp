#include "match/NameMatcher.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>

#include "match/Automaton.h"
#include "match/EndSearch.h"
#include "platform/AsciiText.h"

namespace match {

namespace {

unsigned char FoldByte(unsigned char c) {
  return static_cast<unsigned char>(platform::UpperAscii(static_cast<char>(c)));
}

// Set by a test; until then the start-up level holds.
std::atomic<bool> VectorLimitSet{false};
std::atomic<TVectorLevel> VectorLimit{TVectorLevel::Avx512};
std::atomic<bool> VectorHeld{false};

}  // namespace

TNameMatcher::TNameMatcher(const std::vector<std::string>& patterns, std::size_t budget,
                           const std::vector<bool>& positional, const TWordEnds& wordEnds)
    : budget_(budget), positional_(positional), wordEnds_(wordEnds) {
  positional_.resize(patterns.size(), false);
  wordEnds_.names.resize(patterns.size(), false);
  std::vector<std::string> folded(patterns.size());
  bool used[256] = {};
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    folded[k].resize(patterns[k].size());
    for (std::size_t j = 0; j < patterns[k].size(); ++j) {
      const unsigned char c = FoldByte(static_cast<unsigned char>(patterns[k][j]));
      folded[k][j] = static_cast<char>(c);
      used[c] = true;
    }
  }
  for (int c = 0; c < 256; ++c) {
    if (used[c]) classOf_[c] = classes_++;
  }
  for (int c = 'a'; c <= 'z'; ++c) classOf_[c] = classOf_[c - 'a' + 'A'];

  for (std::uint32_t k = 0; k < folded.size(); ++k) {
    if (folded[k].empty()) alwaysFound_.push_back(k);
  }

  const TVectorLevel level = std::min(VectorLevelLimit(), TEndSearch::Supported());
  if (level != TVectorLevel::None) {
    ends_ = std::make_unique<TEndSearch>(level, folded, positional_, wordEnds_,
                                         !VectorHeld.load(std::memory_order_relaxed));
    folded_ = std::move(folded);
    if (ends_->PassesTooMuch()) LeaveVectorPath();
    return;
  }
  BuildAutomaton(folded);
}

TNameMatcher::~TNameMatcher() = default;
TNameMatcher::TNameMatcher(TNameMatcher&&) noexcept = default;
TNameMatcher& TNameMatcher::operator=(TNameMatcher&&) noexcept = default;

std::size_t TNameMatcher::FilterBuilds() const {
  return ends_ ? ends_->FilterBuilds() : filterBuilds_;
}

std::uint64_t TNameMatcher::Work() const {
  return work_ + (ends_ ? ends_->Work() : 0) + (automaton_ ? automaton_->Work() : 0);
}

std::uint32_t TNameMatcher::DenseDepth() const { return automaton_ ? automaton_->DenseDepth() : 0; }

void TNameMatcher::LimitVectorLevel(TVectorLevel level) {
  VectorLimit.store(level, std::memory_order_relaxed);
  VectorLimitSet.store(true, std::memory_order_relaxed);
}

void TNameMatcher::HoldVectorPath(bool hold) { VectorHeld.store(hold, std::memory_order_relaxed); }

TVectorLevel TNameMatcher::VectorLevelLimit() {
  return VectorLimitSet.load(std::memory_order_relaxed)
             ? VectorLimit.load(std::memory_order_relaxed)
             : StartupVectorLevel();
}

void TNameMatcher::BuildAutomaton(const std::vector<std::string>& folded) {
  automaton_ = std::make_unique<TAutomaton>(folded, classOf_, classes_, budget_, positional_,
                                            wordEnds_);
}

// Between texts: the automaton over every name, with those the vector path
// retired retired in it as well (found in no text from now on).
void TNameMatcher::LeaveVectorPath() {
  BuildAutomaton(folded_);
  folded_ = {};
  for (std::uint32_t id = 0; id < positional_.size(); ++id) {
    if (!ends_->IsLive(id)) automaton_->Retire(id);
  }
  filterBuilds_ = ends_->FilterBuilds();
  work_ += ends_->Work();
  ends_.reset();
}

// In the middle of a text, after the vector path has dealt with the places
// ending in data's first done bytes: the automaton takes over from there.
// What the vector path found in this text stays found; the automaton
// starts in the state that a walk over the whole text would be in, which
// the last maxLength bytes decide (the places ending in them were reported
// already, so it walks them silently).
void TNameMatcher::LeaveVectorPathWithin(const unsigned char* data, std::size_t done) {
  ends_->AppendFound(carried_);
  std::vector<std::uint32_t> gone;
  for (std::uint32_t id = 0; id < positional_.size(); ++id) {
    if (ends_->IsGone(id)) gone.push_back(id);
  }
  std::vector<unsigned char> before;
  ends_->TextBefore(data, done, before);
  LeaveVectorPath();
  for (std::uint32_t id : gone) automaton_->MarkGone(id);
  // One byte more than the longest name: whether a name starts a word.
  const std::size_t n = std::min<std::size_t>(before.size(), automaton_->MaxLength() + 1);
  automaton_->Skip(before.data() + before.size() - n, n, n == textFed_ + done);
}

void TNameMatcher::Retire(std::uint32_t id) {
  if (id >= positional_.size()) return;
  if (ends_) {
    ends_->Retire(id);
    return;
  }
  automaton_->Retire(id);
}

void TNameMatcher::Start() {
  if (ends_) {
    ends_->Start();
    textFed_ = 0;
    if (!ends_->PassesTooMuch()) return;
    LeaveVectorPath();
  }
  automaton_->Start();
  carried_.clear();
}

void TNameMatcher::FoldAscii(unsigned char* data, std::size_t size) {
  TEndSearch::FoldInPlace(data, size);
}

bool TNameMatcher::PrefersFolded() const { return ends_ && ends_->Level() == TVectorLevel::Avx512; }

// The work is linear in the bytes fed, on every path and for every text:
// - an automaton walks each byte once, and a stretch of eight bytes twice
//   where some walk met a name in it, plus an overlap of its longest name
//   per stretch of a large block (Walk);
// - the vector path gives way to the automaton, within the text, once its
//   work in the text exceeds the text's bytes by TEndSearch::TextSlack (it
//   checks after each place or step of places, so it overshoots by one
//   place's trie walk, or one step's, at most);
// - places are reported at most once per positional name, place and
//   stretch; a word-end name's only where a word ends. Nested positional
//   names all ending at one place are each reported there: the bound is the
//   bytes times the deepest such nesting (names that end in other positional
//   names, each reported at every place), which the callers keep small; for
//   word-end names made of word bytes, the names reported at a word's end
//   are at most as many as the word's bytes, so their reports are at most
//   the text's bytes.
void TNameMatcher::Feed(const char* data, std::size_t size, TMatchSink* sink, bool folded) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  if (ends_) {
    const std::size_t done = ends_->Feed(bytes, size, sink, folded);
    textFed_ += done;
    if (done == size) return;
    LeaveVectorPathWithin(bytes, done);
    bytes += done;
    size -= done;
  }
  automaton_->Feed(bytes, size, sink);
}

std::vector<std::uint32_t> TNameMatcher::Found() {
  std::vector<std::uint32_t> found = alwaysFound_;
  if (ends_) ends_->AppendFound(found);
  found.insert(found.end(), carried_.begin(), carried_.end());
  if (automaton_) automaton_->AppendFound(found);
  if (!carried_.empty()) {
    // Both paths may have met a name in this text.
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
  }
  return found;
}

}  // namespace match

#include "match/NameMatcher.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstring>

#include "match/EndSearch.h"
#include "platform/AsciiText.h"

namespace match {

namespace {

unsigned char FoldByte(unsigned char c) {
  return static_cast<unsigned char>(platform::UpperAscii(static_cast<char>(c)));
}

// Blocks at least this long are walked as Lanes overlapping stretches at once.
constexpr std::size_t Lanes = 8;
constexpr std::size_t MinLaneBlock = 4096;

// Set by a test; until then the start-up level holds.
std::atomic<bool> VectorLimitSet{false};
std::atomic<TVectorLevel> VectorLimit{TVectorLevel::Avx512};
std::atomic<bool> VectorHeld{false};

}  // namespace

TNameMatcher::TNameMatcher(const std::vector<std::string>& patterns, std::size_t budget,
                           const std::vector<bool>& positional, const TWordEnds& wordEnds)
    : positional_(positional), wordEnds_(wordEnds) {
  positional_.resize(patterns.size(), false);
  wordEnds_.names.resize(patterns.size(), false);
  idGroup_.assign(patterns.size(), None);
  idOutput_.assign(patterns.size(), None);
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

  // Cut the names into groups whose dense tables stay within the budget; the
  // trie of a group has at most one state per byte of its names, plus the root.
  std::vector<std::vector<std::uint32_t>> members(1);
  std::size_t states = 1;
  for (std::uint32_t k = 0; k < folded.size(); ++k) {
    if (folded[k].empty()) {
      alwaysFound_.push_back(k);
      continue;
    }
    const std::size_t grown = states + folded[k].size();
    if (!members.back().empty() && grown * classes_ > budget) {
      members.emplace_back();
      states = 1;
    }
    members.back().push_back(k);
    states += folded[k].size();
  }
  if (members.back().empty()) members.pop_back();
  groupCount_ = members.size();
  members_ = std::move(members);

  const TVectorLevel level = std::min(VectorLevelLimit(), TEndSearch::Supported());
  if (level != TVectorLevel::None) {
    ends_ = std::make_unique<TEndSearch>(level, folded, positional_, wordEnds_,
                                         !VectorHeld.load(std::memory_order_relaxed));
    folded_ = std::move(folded);
    if (ends_->PassesTooMuch()) LeaveVectorPath();
    return;
  }
  BuildAutomata(folded);
}

TNameMatcher::~TNameMatcher() = default;
TNameMatcher::TNameMatcher(TNameMatcher&&) noexcept = default;
TNameMatcher& TNameMatcher::operator=(TNameMatcher&&) noexcept = default;

std::size_t TNameMatcher::FilterBuilds() const {
  return ends_ ? ends_->FilterBuilds() : filterBuilds_;
}

std::uint64_t TNameMatcher::Work() const { return work_ + (ends_ ? ends_->Work() : 0); }

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

void TNameMatcher::BuildAutomata(const std::vector<std::string>& folded) {
  retired_.assign(positional_.size(), Live);
  for (const std::vector<std::uint32_t>& group : members_) {
    Build(groups_.emplace_back(), folded, group);
  }
  members_ = {};
}

// Between texts: the automaton over every name, with those the vector path
// retired retired in it as well (found in no text from now on).
void TNameMatcher::LeaveVectorPath() {
  BuildAutomata(folded_);
  folded_ = {};
  for (std::uint32_t id = 0; id < positional_.size(); ++id) {
    if (!ends_->IsLive(id)) RetireInAutomaton(id);
  }
  filterBuilds_ = ends_->FilterBuilds();
  work_ += ends_->Work();
  ends_.reset();
}

// In the middle of a text, after the vector path has dealt with the places
// ending in data's first done bytes: the automaton takes over from there.
// What the vector path found in this text stays found; each automaton
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
  for (std::uint32_t id : gone) retired_[id] = Gone;
  for (Automaton& a : groups_) {
    const std::size_t n = std::min<std::size_t>(before.size(), a.maxLength);
    WalkQuiet(a, before.data() + before.size() - n, n);
  }
}

// What building one automaton works with: the trie as dense rows of state
// numbers, what each state ends, and, once linked, the breadth-first order,
// failure links and the table layout.
struct TNameMatcher::TrieBuild {
  std::uint32_t nc = 0;                         // byte classes, the row width
  std::vector<std::uint32_t> go;                // state * nc + class -> state
  std::vector<std::vector<std::uint32_t>> own;  // ids ending at each state
  std::vector<char> hasChildren;                // whether a name goes on
  std::vector<std::uint32_t> fail, order;
  std::vector<char> output;              // ends a name, itself or by suffix
  std::vector<std::uint32_t> number;     // state -> its row in the table
  std::uint32_t firstOutput = 0;         // the first row of an output state
  std::vector<std::uint32_t> original;   // output state k -> state
  std::vector<std::uint32_t> ownBeyond;  // next suffix state with names

  std::size_t Count() const { return own.size(); }
  std::size_t Outputs() const { return Count() - firstOutput; }
};

void TNameMatcher::Build(Automaton& a, const std::vector<std::string>& folded,
                         const std::vector<std::uint32_t>& members) {
  TrieBuild t;
  t.nc = classes_;
  AddNames(a, t, folded, members);
  LinkFailures(t);
  LayOutTable(a, t);
  DescribeOutputs(a, t);
  FindRetireSlots(a, t);
}

// The trie of the group's names.
void TNameMatcher::AddNames(Automaton& a, TrieBuild& t, const std::vector<std::string>& folded,
                            const std::vector<std::uint32_t>& members) {
  const std::uint32_t nc = t.nc;
  t.go.assign(nc, None);
  t.own.assign(1, {});
  t.hasChildren.assign(1, 0);
  for (std::uint32_t k : members) {
    std::uint32_t s = 0;
    for (char ch : folded[k]) {
      const std::uint32_t c = classOf_[static_cast<unsigned char>(ch)];
      const std::size_t slot = static_cast<std::size_t>(s) * nc + c;
      if (t.go[slot] == None) {
        t.go[slot] = static_cast<std::uint32_t>(t.own.size());
        t.own.emplace_back();
        t.hasChildren[s] = 1;
        t.hasChildren.push_back(0);
        t.go.resize(t.go.size() + nc, None);
      }
      s = t.go[slot];
    }
    t.own[s].push_back(k);
    a.maxLength =
        std::max<std::uint32_t>(a.maxLength, static_cast<std::uint32_t>(folded[k].size()));
  }
}

// Breadth first: failure links, the missing transitions taken from the
// failure state's (already complete) row, and which states end some name.
void TNameMatcher::LinkFailures(TrieBuild& t) {
  const std::uint32_t nc = t.nc;
  const std::size_t count = t.Count();
  t.fail.assign(count, 0);
  t.output.assign(count, 0);
  t.order.clear();
  t.order.reserve(count);
  t.order.push_back(0);
  for (std::uint32_t c = 0; c < nc; ++c) {
    std::uint32_t& edge = t.go[c];
    if (edge == None) {
      edge = 0;
    } else {
      t.order.push_back(edge);
    }
  }
  for (std::size_t q = 1; q < t.order.size(); ++q) {
    const std::uint32_t s = t.order[q];
    t.output[s] = !t.own[s].empty() || t.output[t.fail[s]];
    for (std::uint32_t c = 0; c < nc; ++c) {
      std::uint32_t& edge = t.go[static_cast<std::size_t>(s) * nc + c];
      const std::uint32_t viaFail = t.go[static_cast<std::size_t>(t.fail[s]) * nc + c];
      if (edge == None) {
        edge = viaFail;
      } else {
        t.fail[edge] = viaFail;
        t.order.push_back(edge);
      }
    }
  }
}

// Renumber: states without output first, in breadth-first order so the hot
// shallow rows sit together, then the states with output; then the dense
// table of row offsets.
void TNameMatcher::LayOutTable(Automaton& a, TrieBuild& t) {
  const std::uint32_t nc = t.nc;
  const std::size_t count = t.Count();
  t.number.assign(count, 0);
  std::uint32_t next = 0;
  for (std::uint32_t s : t.order) {
    if (!t.output[s]) t.number[s] = next++;
  }
  t.firstOutput = next;
  for (std::uint32_t s : t.order) {
    if (t.output[s]) t.number[s] = next++;
  }
  const std::size_t lowRows = std::size_t{t.firstOutput} * nc;
  const std::size_t highRows = t.Outputs() * nc;
  std::size_t bit = 1;
  while (bit < std::max(lowRows, highRows)) bit <<= 1;
  assert(bit + highRows <= UINT32_MAX);
  a.outputBit = static_cast<std::uint32_t>(bit);
  a.next.reset(new std::uint32_t[bit + highRows]);  // the gap stays untouched
  for (std::size_t s = 0; s < count; ++s) {
    std::uint32_t* row = a.next.get() + Offset(a, t, t.number[s]);
    for (std::uint32_t c = 0; c < nc; ++c) row[c] = Offset(a, t, t.number[t.go[s * nc + c]]);
  }
}

std::uint32_t TNameMatcher::Offset(const Automaton& a, const TrieBuild& t, std::uint32_t n) {
  return n < t.firstOutput ? n * t.nc : a.outputBit + (n - t.firstOutput) * t.nc;
}

// Per output state: the names it ends, the next state on its suffix chain
// that ends names of its own, the positional names to report at it, and
// whether it can retire.
void TNameMatcher::DescribeOutputs(Automaton& a, TrieBuild& t) {
  const std::size_t outputs = t.Outputs();
  a.chainNext.assign(outputs, None);
  a.idStart.assign(outputs + 1, 0);
  t.original.assign(outputs, 0);
  for (std::uint32_t s : t.order) {
    if (t.output[s]) t.original[t.number[s] - t.firstOutput] = s;
  }
  // The first state beyond s on its suffix chain that ends names of its own,
  // in breadth-first order so that the failure state's answer is known.
  t.ownBeyond.assign(t.Count(), None);
  for (std::size_t q = 1; q < t.order.size(); ++q) {
    const std::uint32_t s = t.order[q];
    const std::uint32_t f = t.fail[s];
    t.ownBeyond[s] = !t.own[f].empty() ? f : t.ownBeyond[f];
  }
  a.placeStart.assign(outputs + 1, 0);
  a.placeWords.assign(outputs, 0);
  // Output states whose transitions can be sent elsewhere once their name
  // retires: leaves (no name goes on from them) that end exactly one name, a
  // positional one. Their stand-in is their failure state, whose row a
  // leaf's row repeats. The states of longer names that hold such a name
  // still report it through their suffix chains; the flag stops those.
  a.retireTo.assign(outputs, None);
  const std::uint32_t group = static_cast<std::uint32_t>(&a - groups_.data());
  for (std::size_t k = 0; k < outputs; ++k) {
    const std::uint32_t s = t.original[k];
    const std::vector<std::uint32_t>& own = t.own[s];
    for (std::uint32_t id : own) {
      idGroup_[id] = group;
      idOutput_[id] = static_cast<std::uint32_t>(k);
    }
    if (own.size() == 1 && positional_[own[0]] && !t.hasChildren[s] && s != 0) {
      a.retireTo[k] = Offset(a, t, t.number[t.fail[s]]);
    }
    if (t.ownBeyond[s] != None) a.chainNext[k] = t.number[t.ownBeyond[s]] - t.firstOutput;
    a.idStart[k + 1] = a.idStart[k] + static_cast<std::uint32_t>(own.size());
    a.ids.insert(a.ids.end(), own.begin(), own.end());
    for (bool wordEnd : {false, true}) {
      for (std::uint32_t u = s; u != None && u != 0; u = t.ownBeyond[u]) {
        for (std::uint32_t id : t.own[u]) {
          if (positional_[id] && wordEnds_.names[id] == wordEnd) a.placeIds.push_back(id);
        }
      }
      if (!wordEnd) a.placeWords[k] = static_cast<std::uint32_t>(a.placeIds.size());
    }
    a.placeStart[k + 1] = static_cast<std::uint32_t>(a.placeIds.size());
  }
  a.hitStamp.assign(outputs, 0);
  a.expandStamp.assign(outputs, 0);
}

// The table slots that lead into each state that can retire.
void TNameMatcher::FindRetireSlots(Automaton& a, const TrieBuild& t) {
  const std::size_t outputs = t.Outputs();
  const std::uint32_t nc = t.nc;
  std::vector<std::uint32_t> counts(outputs + 1, 0);
  auto eachSlot = [&](auto visit) {
    for (std::size_t n = 0; n < t.Count(); ++n) {
      const std::uint32_t rowStart = Offset(a, t, static_cast<std::uint32_t>(n));
      for (std::uint32_t c = 0; c < nc; ++c) {
        const std::uint32_t v = a.next[rowStart + c];
        if (v < a.outputBit) continue;
        const std::uint32_t k = (v - a.outputBit) / nc;
        if (a.retireTo[k] != None) visit(k, rowStart + c);
      }
    }
  };
  eachSlot([&](std::uint32_t k, std::uint32_t) { ++counts[k + 1]; });
  for (std::size_t k = 0; k < outputs; ++k) counts[k + 1] += counts[k];
  a.slotStart = counts;
  a.slots.resize(counts[outputs]);
  eachSlot([&](std::uint32_t k, std::uint32_t slot) { a.slots[counts[k]++] = slot; });
  a.retired.assign(outputs, 0);
}

void TNameMatcher::Retire(std::uint32_t id) {
  if (id >= positional_.size()) return;
  if (ends_) {
    ends_->Retire(id);
    return;
  }
  RetireInAutomaton(id);
}

void TNameMatcher::RetireInAutomaton(std::uint32_t id) {
  if (retired_[id] != Live) return;
  retired_[id] = Retiring;
  retiring_.push_back(id);
  if (idGroup_[id] == None) return;
  Automaton& a = groups_[idGroup_[id]];
  const std::uint32_t k = idOutput_[id];
  if (a.retireTo[k] == None || a.retired[k]) return;
  a.retired[k] = 1;
  for (std::uint32_t j = a.slotStart[k]; j < a.slotStart[k + 1]; ++j) {
    a.next[a.slots[j]] = a.retireTo[k];
  }
}

void TNameMatcher::Start() {
  if (ends_) {
    ends_->Start();
    if (!ends_->PassesTooMuch()) return;
    LeaveVectorPath();
  }
  if (++generation_ == 0) {
    generation_ = 1;
    for (Automaton& a : groups_) {
      std::fill(a.hitStamp.begin(), a.hitStamp.end(), 0);
      std::fill(a.expandStamp.begin(), a.expandStamp.end(), 0);
    }
  }
  for (Automaton& a : groups_) {
    a.hits.clear();
    a.state = 0;
  }
  for (std::uint32_t id : retiring_) retired_[id] = Gone;
  retiring_.clear();
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
    if (done == size) return;
    LeaveVectorPathWithin(bytes, done);
    bytes += done;
    size -= done;
  }
  sink_ = sink;
  blockEnd_ = bytes + size;
  for (Automaton& a : groups_) Walk(a, bytes, size);
  sink_ = nullptr;
  blockEnd_ = nullptr;
}

void TNameMatcher::Hit(Automaton& a, std::uint32_t s, const unsigned char* end) {
  const std::uint32_t k = (s - a.outputBit) / classes_;
  if (a.hitStamp[k] != generation_) {
    a.hitStamp[k] = generation_;
    a.hits.push_back(k);
  }
  if (a.placeStart[k] != a.placeStart[k + 1] && sink_ != nullptr) [[unlikely]] {
    // Word-end names only where the next byte, when in the block, ends the word.
    const bool wordEnds = end == blockEnd_ || !wordEnds_.wordBytes[*end];
    const std::uint32_t last = wordEnds ? a.placeStart[k + 1] : a.placeWords[k];
    for (std::uint32_t j = a.placeStart[k]; j < last; ++j) {
      const std::uint32_t id = a.placeIds[j];
      ++work_;
      if (retired_[id] == Live && !sink_->OnMatch(id, end)) RetireInAutomaton(id);
    }
  }
}

void TNameMatcher::WalkSerial(Automaton& a, std::uint32_t& state, const unsigned char* p,
                              std::size_t n) {
  const std::uint32_t* next = a.next.get();
  const std::uint32_t bit = a.outputBit;
  std::uint32_t s = state;
  for (std::size_t i = 0; i < n; ++i) {
    s = next[s + classOf_[p[i]]];
    if (s & bit) Hit(a, s, p + i + 1);
  }
  state = s;
  work_ += n;
}

// From the root over bytes whose places were dealt with already.
void TNameMatcher::WalkQuiet(Automaton& a, const unsigned char* p, std::size_t n) {
  std::uint32_t s = 0;
  for (std::size_t i = 0; i < n; ++i) s = a.next[s + classOf_[p[i]]];
  a.state = s;
  work_ += n;
}

// A name found by the automaton ends at some byte and is at most maxLength
// long. A walk started from the root maxLength bytes before a position is in
// the same state at that position as a walk over the whole text, so stretches
// that overlap by maxLength bytes find every name between them, and the last
// stretch ends in the state to carry into the next block. A name found twice
// in an overlap is reported once.
void TNameMatcher::Walk(Automaton& a, const unsigned char* data, std::size_t size) {
  const std::size_t overlap = a.maxLength;
  if (size < MinLaneBlock || size < 2 * Lanes * (overlap + 1)) {
    WalkSerial(a, a.state, data, size);
    return;
  }
  const std::size_t step = (size + Lanes - 1) / Lanes;
  const std::size_t length = step + overlap;  // <= size by the test above
  const unsigned char* p[Lanes];
  std::uint32_t s[Lanes];
  for (std::size_t j = 0; j < Lanes; ++j) {
    p[j] = data + std::min(j * step, size - length);
    s[j] = 0;
  }
  s[0] = a.state;
  const std::uint32_t* next = a.next.get();
  const std::uint32_t* classOf = classOf_;
  const std::uint32_t bit = a.outputBit;
  constexpr std::size_t Chunk = 8;
  std::size_t i = 0;
  for (; i + Chunk <= length; i += Chunk) {
    std::uint32_t before[Lanes], seen = 0;
    for (std::size_t j = 0; j < Lanes; ++j) before[j] = s[j];
    for (std::size_t b = 0; b < Chunk; ++b) {
      for (std::size_t j = 0; j < Lanes; ++j) {
        s[j] = next[s[j] + classOf[p[j][i + b]]];
        seen |= s[j];
      }
    }
    if (seen & bit) [[unlikely]] {
      // Some walk met a name: all go over the chunk again, still side by
      // side, each stopping at the names it meets.
      work_ += Chunk * Lanes;
      for (std::size_t b = 0; b < Chunk; ++b) {
        for (std::size_t j = 0; j < Lanes; ++j) {
          before[j] = next[before[j] + classOf[p[j][i + b]]];
          if (before[j] & bit) Hit(a, before[j], p[j] + i + b + 1);
        }
      }
    }
  }
  work_ += i * Lanes;
  for (std::size_t j = 0; j < Lanes; ++j) WalkSerial(a, s[j], p[j] + i, length - i);
  a.state = s[Lanes - 1];
}

std::vector<std::uint32_t> TNameMatcher::Found() {
  std::vector<std::uint32_t> found = alwaysFound_;
  if (ends_) ends_->AppendFound(found);
  found.insert(found.end(), carried_.begin(), carried_.end());
  for (Automaton& a : groups_) {
    for (std::uint32_t k : a.hits) {
      // Everything beyond a state already reported was reported with it.
      for (std::uint32_t t = k; t != None && a.expandStamp[t] != generation_; t = a.chainNext[t]) {
        a.expandStamp[t] = generation_;
        for (std::uint32_t j = a.idStart[t]; j < a.idStart[t + 1]; ++j) {
          if (retired_[a.ids[j]] != Gone) found.push_back(a.ids[j]);
        }
      }
    }
  }
  if (!carried_.empty()) {
    // Both paths may have met a name in this text.
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
  }
  return found;
}

}  // namespace match

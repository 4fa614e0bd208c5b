#include "analysis/NameMatcher.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace analysis {

namespace {

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Blocks at least this long are walked as Lanes overlapping stretches at once.
constexpr std::size_t Lanes = 8;
constexpr std::size_t MinLaneBlock = 4096;

}  // namespace

TNameMatcher::TNameMatcher(const std::vector<std::string>& patterns, std::size_t budget) {
  std::vector<std::string> folded(patterns.size());
  bool used[256] = {};
  for (std::size_t k = 0; k < patterns.size(); ++k) {
    folded[k].resize(patterns[k].size());
    for (std::size_t j = 0; j < patterns[k].size(); ++j) {
      const unsigned char c = FoldAscii(static_cast<unsigned char>(patterns[k][j]));
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
  std::vector<std::uint32_t> members;
  std::size_t states = 1;
  for (std::uint32_t k = 0; k < folded.size(); ++k) {
    if (folded[k].empty()) {
      alwaysFound_.push_back(k);
      continue;
    }
    const std::size_t grown = states + folded[k].size();
    if (!members.empty() && grown * classes_ > budget) {
      Build(groups_.emplace_back(), folded, members);
      members.clear();
      states = 1;
    }
    members.push_back(k);
    states += folded[k].size();
  }
  if (!members.empty()) Build(groups_.emplace_back(), folded, members);
}

void TNameMatcher::Build(Automaton& a, const std::vector<std::string>& folded,
                         const std::vector<std::uint32_t>& members) {
  const std::uint32_t nc = classes_;
  // The trie, one dense row of state numbers per state.
  std::vector<std::uint32_t> go(nc, None);
  std::vector<std::vector<std::uint32_t>> own(1);  // ids ending at each state
  for (std::uint32_t k : members) {
    std::uint32_t s = 0;
    for (char ch : folded[k]) {
      const std::uint32_t c = classOf_[static_cast<unsigned char>(ch)];
      const std::size_t slot = static_cast<std::size_t>(s) * nc + c;
      if (go[slot] == None) {
        go[slot] = static_cast<std::uint32_t>(own.size());
        own.emplace_back();
        go.resize(go.size() + nc, None);
      }
      s = go[slot];
    }
    own[s].push_back(k);
    a.maxLength = std::max<std::uint32_t>(a.maxLength, static_cast<std::uint32_t>(folded[k].size()));
  }
  const std::size_t count = own.size();

  // Breadth first: failure links, the missing transitions taken from the
  // failure state's (already complete) row, and which states end some name.
  std::vector<std::uint32_t> fail(count, 0), order;
  std::vector<char> output(count, 0);
  order.reserve(count);
  order.push_back(0);
  for (std::uint32_t c = 0; c < nc; ++c) {
    std::uint32_t& edge = go[c];
    if (edge == None) {
      edge = 0;
    } else {
      order.push_back(edge);
    }
  }
  for (std::size_t q = 1; q < order.size(); ++q) {
    const std::uint32_t s = order[q];
    output[s] = !own[s].empty() || output[fail[s]];
    for (std::uint32_t c = 0; c < nc; ++c) {
      std::uint32_t& edge = go[static_cast<std::size_t>(s) * nc + c];
      const std::uint32_t viaFail = go[static_cast<std::size_t>(fail[s]) * nc + c];
      if (edge == None) {
        edge = viaFail;
      } else {
        fail[edge] = viaFail;
        order.push_back(edge);
      }
    }
  }

  // Renumber: states without output first, in breadth-first order so the hot
  // shallow rows sit together, then the states with output.
  std::vector<std::uint32_t> number(count);
  std::uint32_t next = 0;
  for (std::uint32_t s : order) {
    if (!output[s]) number[s] = next++;
  }
  const std::uint32_t firstOutput = next;
  for (std::uint32_t s : order) {
    if (output[s]) number[s] = next++;
  }
  const std::size_t lowRows = std::size_t{firstOutput} * nc;
  const std::size_t highRows = (count - firstOutput) * nc;
  std::size_t bit = 1;
  while (bit < std::max(lowRows, highRows)) bit <<= 1;
  assert(bit + highRows <= UINT32_MAX);
  a.outputBit = static_cast<std::uint32_t>(bit);
  auto offset = [&](std::uint32_t n) {
    return n < firstOutput ? n * nc : a.outputBit + (n - firstOutput) * nc;
  };
  a.next.reset(new std::uint32_t[bit + highRows]);  // the gap stays untouched
  for (std::size_t s = 0; s < count; ++s) {
    std::uint32_t* row = a.next.get() + offset(number[s]);
    for (std::uint32_t c = 0; c < nc; ++c) row[c] = offset(number[go[s * nc + c]]);
  }

  const std::size_t outputs = count - firstOutput;
  a.chainNext.assign(outputs, None);
  a.idStart.assign(outputs + 1, 0);
  std::vector<std::uint32_t> original(outputs);
  for (std::uint32_t s : order) {
    if (output[s]) original[number[s] - firstOutput] = s;
  }
  // The first state beyond s on its suffix chain that ends names of its own,
  // in breadth-first order so that the failure state's answer is known.
  std::vector<std::uint32_t> ownBeyond(count, None);
  for (std::size_t q = 1; q < order.size(); ++q) {
    const std::uint32_t s = order[q];
    const std::uint32_t f = fail[s];
    ownBeyond[s] = !own[f].empty() ? f : ownBeyond[f];
  }
  for (std::size_t k = 0; k < outputs; ++k) {
    const std::uint32_t s = original[k];
    if (ownBeyond[s] != None) a.chainNext[k] = number[ownBeyond[s]] - firstOutput;
    a.idStart[k + 1] = a.idStart[k] + static_cast<std::uint32_t>(own[s].size());
    a.ids.insert(a.ids.end(), own[s].begin(), own[s].end());
  }
  a.hitStamp.assign(outputs, 0);
  a.expandStamp.assign(outputs, 0);
}

void TNameMatcher::Start() {
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
}

void TNameMatcher::Feed(const char* data, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (Automaton& a : groups_) Walk(a, bytes, size);
}

void TNameMatcher::Hit(Automaton& a, std::uint32_t s) {
  const std::uint32_t k = (s - a.outputBit) / classes_;
  if (a.hitStamp[k] != generation_) {
    a.hitStamp[k] = generation_;
    a.hits.push_back(k);
  }
}

void TNameMatcher::WalkSerial(Automaton& a, std::uint32_t& state, const unsigned char* p,
                              std::size_t n) {
  const std::uint32_t* next = a.next.get();
  const std::uint32_t bit = a.outputBit;
  std::uint32_t s = state;
  for (std::size_t i = 0; i < n; ++i) {
    s = next[s + classOf_[p[i]]];
    if (s & bit) Hit(a, s);
  }
  state = s;
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
      for (std::size_t j = 0; j < Lanes; ++j) WalkSerial(a, before[j], p[j] + i, Chunk);
    }
  }
  for (std::size_t j = 0; j < Lanes; ++j) WalkSerial(a, s[j], p[j] + i, length - i);
  a.state = s[Lanes - 1];
}

std::vector<std::uint32_t> TNameMatcher::Found() {
  std::vector<std::uint32_t> found = alwaysFound_;
  for (Automaton& a : groups_) {
    for (std::uint32_t k : a.hits) {
      // Everything beyond a state already reported was reported with it.
      for (std::uint32_t t = k; t != None && a.expandStamp[t] != generation_; t = a.chainNext[t]) {
        a.expandStamp[t] = generation_;
        found.insert(found.end(), a.ids.begin() + a.idStart[t], a.ids.begin() + a.idStart[t + 1]);
      }
    }
  }
  return found;
}

}  // namespace analysis

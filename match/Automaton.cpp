#include "match/Automaton.h"

#include <algorithm>
#include <cassert>
#include <numeric>

#include "platform/LargeArray.h"

namespace match {

namespace {

// Blocks at least this long are walked as Lanes overlapping stretches at once.
constexpr std::size_t Lanes = 8;
constexpr std::size_t MinLaneBlock = 1024;
constexpr std::size_t Chunk = 8;
// The depth the dense rows reach if twice the budget holds them.
constexpr std::uint32_t MinDenseDepth = 10;

}  // namespace

// What building works with: the trie with its children in one array by
// parent (each parent's by class), what each state ends, the breadth-first
// order, failure links, the complete rows of the dense states, and where
// each state went in the layout.
struct TAutomaton::Build {
  std::uint32_t nc = 0;
  std::vector<std::uint32_t> parent, cls, depth;
  std::vector<std::uint32_t> childStart, children;
  std::vector<std::uint32_t> ownStart, own;
  std::vector<std::uint32_t> order, fail;
  std::vector<char> output;
  std::vector<char> weak;  // an output whose names all matter only at word ends
  std::uint32_t dense = 0;             // states with dense rows: order[0 .. dense)
  platform::TLargeArray<std::uint32_t> denseGo;  // order index * nc + class -> state
  std::vector<std::uint32_t> rep;      // state -> as the walk carries it
  std::vector<std::uint32_t> outNumber;
  std::vector<std::uint32_t> original;  // output number -> state
  std::vector<std::uint32_t> denseIndex;  // state -> order index, None if deep
  // The dense entries that lead into states that can retire: the state,
  // the entry's slot, and what it is to hold once the state retires.
  struct TRetireSlot {
    std::uint32_t state, slot, instead;
  };
  std::vector<TRetireSlot> retireSlots;

  // Whether s can retire: a leaf (no name goes on from it) that ends
  // exactly one name, a positional one.
  bool CanRetire(std::uint32_t s, const std::vector<bool>& positional) const {
    return childStart[s] == childStart[s + 1] && ownStart[s] + 1 == ownStart[s + 1] &&
           positional[own[ownStart[s]]];
  }

  // The trie's transition from v on class c: the dense row's entry, or the
  // child, or the failure state's transition.
  std::uint32_t Delta(std::uint32_t v, std::uint32_t c) const {
    for (;;) {
      if (denseIndex[v] != None) return denseGo[std::size_t{denseIndex[v]} * nc + c];
      const std::uint32_t child = ChildOf(v, c);
      if (child != None) return child;
      v = fail[v];
    }
  }

  std::size_t Count() const { return parent.size(); }
  std::uint32_t ChildOf(std::uint32_t s, std::uint32_t c) const {
    for (std::uint32_t j = childStart[s]; j < childStart[s + 1]; ++j) {
      if (cls[children[j]] == c) return children[j];
    }
    return None;
  }
};

TAutomaton::TAutomaton(const std::vector<std::string>& folded,
                       const std::uint32_t (&classOf)[256], std::uint32_t classes,
                       std::size_t budget, const std::vector<bool>& positional,
                       const TWordEnds& wordEnds)
    : classes_(classes), positional_(positional), wordEnds_(wordEnds) {
  std::copy(std::begin(classOf), std::end(classOf), classOf_);
  retired_.assign(folded.size(), Live);
  outputOf_.assign(folded.size(), None);
  wordEnds_.names.resize(folded.size(), false);
  Build b;

  // Names that matter only where a word starts: the automaton reads the text
  // as if a mark followed every byte that is not a word byte (and came
  // before the text), and such a name is the mark and the name. So that
  // every other name still occurs where it did, the mark follows each such
  // byte in every name too. The mark is a class of its own, which no byte
  // has; a step on a byte that is not a word byte is the step on the byte
  // and then on the mark, one entry of the table.
  std::vector<std::uint16_t> symbols;  // the names as classes, one after another
  std::vector<std::size_t> symbolStart(folded.size() + 1, 0);
  bool marks = false, wordEnd = false;
  for (std::uint32_t k = 0; k < folded.size(); ++k) {
    marks = marks || (k < wordEnds.starts.size() && wordEnds.starts[k] && !folded[k].empty());
    wordEnd = wordEnd || (positional_[k] && wordEnds_.names[k]);
  }
  if (marks || wordEnd) {
    // The bytes that no name holds share class 0: the word bytes among
    // them get one of their own.
    std::uint32_t otherWord = None;
    for (int c = 0; c < 256; ++c) {
      if (classOf_[c] != 0 || !wordEnds.wordBytes[c]) continue;
      if (otherWord == None) otherWord = classes_++;
      classOf_[c] = otherWord;
    }
    for (int c = 0; c < 256; ++c) nonWord_[classOf_[c]] = !wordEnds.wordBytes[c];
  }
  if (marks) mark_ = classes_++;  // a class of no byte, so no word byte
  for (std::uint32_t k = 0; k < folded.size(); ++k) {
    if (!folded[k].empty() && marks && k < wordEnds.starts.size() && wordEnds.starts[k]) {
      symbols.push_back(static_cast<std::uint16_t>(mark_));
    }
    for (char ch : folded[k]) {
      const std::uint32_t c = classOf_[static_cast<unsigned char>(ch)];
      symbols.push_back(static_cast<std::uint16_t>(c));
      if (marks && nonWord_[c]) symbols.push_back(static_cast<std::uint16_t>(mark_));
    }
    symbolStart[k + 1] = symbols.size();
    maxLength_ = std::max(maxLength_, static_cast<std::uint32_t>(folded[k].size()));
  }
  b.nc = classes_;
  {
    unsigned bits = 0;
    while ((std::uint64_t{1} << bits) < classes_) ++bits;
    rowShift_ = 32 + bits;
    rowMagic_ = ((std::uint64_t{1} << rowShift_) + classes_ - 1) / classes_;
  }

  // The trie, from the names in the order of their classes: each name
  // shares the path of its predecessor's common prefix, and each state's
  // children are made in the order of their classes.
  auto symbolsOf = [&](std::uint32_t k) {
    return std::make_pair(symbols.data() + symbolStart[k], symbols.data() + symbolStart[k + 1]);
  };
  std::vector<std::uint32_t> sorted;
  for (std::uint32_t k = 0; k < folded.size(); ++k) {
    if (!folded[k].empty()) sorted.push_back(k);
  }
  std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t x, std::uint32_t y) {
    const auto [xa, xb] = symbolsOf(x);
    const auto [ya, yb] = symbolsOf(y);
    return std::lexicographical_compare(xa, xb, ya, yb);
  });
  // At most a state per symbol, and the root.
  b.parent.reserve(symbols.size() + 1);
  b.cls.reserve(symbols.size() + 1);
  b.depth.reserve(symbols.size() + 1);
  b.parent.push_back(None);
  b.cls.push_back(0);
  b.depth.push_back(0);
  std::vector<std::uint32_t> endOf(folded.size(), None);
  std::vector<std::uint32_t> path{0};
  const std::uint16_t* previous = nullptr;
  std::size_t previousSize = 0;
  for (std::uint32_t k : sorted) {
    const auto [name, nameEnd] = symbolsOf(k);
    const auto size = static_cast<std::size_t>(nameEnd - name);
    std::size_t common = 0;
    const std::size_t most = std::min(previousSize, size);
    while (common < most && previous[common] == name[common]) ++common;
    path.resize(common + 1);
    for (std::size_t d = common; d < size; ++d) {
      const auto s = static_cast<std::uint32_t>(b.parent.size());
      b.parent.push_back(path[d]);
      b.cls.push_back(name[d]);
      b.depth.push_back(static_cast<std::uint32_t>(d + 1));
      path.push_back(s);
    }
    endOf[k] = path[size];
    previous = name;
    previousSize = size;
  }
  const std::size_t count = b.Count();
  b.childStart.assign(count + 1, 0);
  for (std::size_t s = 1; s < count; ++s) ++b.childStart[b.parent[s] + 1];
  std::partial_sum(b.childStart.begin(), b.childStart.end(), b.childStart.begin());
  b.children.resize(count > 0 ? count - 1 : 0);
  {
    std::vector<std::uint32_t> at(b.childStart.begin(), b.childStart.end() - 1);
    for (std::uint32_t s = 1; s < count; ++s) b.children[at[b.parent[s]]++] = s;
  }
  b.ownStart.assign(count + 1, 0);
  for (std::uint32_t k : sorted) ++b.ownStart[endOf[k] + 1];
  std::partial_sum(b.ownStart.begin(), b.ownStart.end(), b.ownStart.begin());
  b.own.resize(sorted.size());
  {
    std::vector<std::uint32_t> at(b.ownStart.begin(), b.ownStart.end() - 1);
    std::vector<std::uint32_t> byId = sorted;
    std::sort(byId.begin(), byId.end());
    for (std::uint32_t k : byId) b.own[at[endOf[k]]++] = k;
  }

  // Breadth first; the dense states are those down to the deepest depth
  // whose rows all fit the budget (the root's at least), and down to
  // MinDenseDepth if twice the budget holds them: identifiers in a text
  // spell out the starts of names, and a walk that goes deeper than the
  // dense rows is walked again exactly, which on names that share their
  // first bytes with the text's words costs more than the rows.
  b.order.reserve(count);
  b.order.push_back(0);
  for (std::size_t q = 0; q < b.order.size(); ++q) {
    const std::uint32_t s = b.order[q];
    for (std::uint32_t j = b.childStart[s]; j < b.childStart[s + 1]; ++j) {
      b.order.push_back(b.children[j]);
    }
  }
  {
    std::size_t q = 1;
    while (q < count) {
      std::size_t end = q;
      while (end < count && b.depth[b.order[end]] == b.depth[b.order[q]]) ++end;
      const std::size_t entries = end * std::size_t{b.nc};
      if (entries > budget && (b.depth[b.order[q]] > MinDenseDepth || entries > 2 * budget)) break;
      denseDepth_ = b.depth[b.order[q]];
      q = end;
    }
    b.dense = static_cast<std::uint32_t>(q);
  }

  // Failure links, and the dense rows complete: a missing transition is
  // taken from the failure state's row (shallower, so done already).
  b.fail.assign(count, 0);
  b.output.assign(count, 0);
  b.weak.assign(count, 0);
  std::vector<char> allWeak(count, 1);  // every name it ends matters at word ends only
  b.denseIndex.assign(count, None);
  b.denseGo = platform::TLargeArray<std::uint32_t>(std::size_t{b.dense} * b.nc);
  std::fill(b.denseGo.data(), b.denseGo.data() + b.nc, 0);  // the root's row: the root
  for (std::size_t q = 0; q < count; ++q) {
    const std::uint32_t u = b.order[q];
    if (q > 0) {
      const std::uint32_t p = b.parent[u];
      b.fail[u] = p == 0 ? 0 : b.Delta(b.fail[p], b.cls[u]);
      b.output[u] = b.ownStart[u] != b.ownStart[u + 1] || b.output[b.fail[u]];
      allWeak[u] = allWeak[b.fail[u]];
      for (std::uint32_t j = b.ownStart[u]; j < b.ownStart[u + 1] && allWeak[u]; ++j) {
        allWeak[u] = positional_[b.own[j]] && wordEnds_.names[b.own[j]];
      }
      b.weak[u] = b.output[u] && allWeak[u];
    }
    if (q < b.dense) {
      b.denseIndex[u] = static_cast<std::uint32_t>(q);
      std::uint32_t* row = b.denseGo.data() + q * b.nc;
      if (q > 0) {
        const std::uint32_t* inherited = b.denseGo.data() + std::size_t{b.denseIndex[b.fail[u]]} * b.nc;
        std::copy(inherited, inherited + b.nc, row);
      }
      for (std::uint32_t j = b.childStart[u]; j < b.childStart[u + 1]; ++j) {
        row[b.cls[b.children[j]]] = b.children[j];
      }
    }
  }
  LayOut(b);
  Describe(b);
  FindRetireSlots(b);
}

TAutomaton::~TAutomaton() = default;

// Numbers the states: dense rows without output first, then those with
// output, then the escape row; the deep states in depth-first order.
// Outputs are numbered dense ones first, in row order, then deep ones.
void TAutomaton::LayOut(Build& b) {
  const std::uint32_t nc = b.nc;
  const std::size_t count = b.Count();
  b.rep.assign(count, 0);
  b.outNumber.assign(count, None);
  std::uint32_t low = 0, weak = 0, high = 0;
  for (std::uint32_t q = 0; q < b.dense; ++q) {
    const std::uint32_t s = b.order[q];
    (b.weak[s] ? weak : b.output[s] ? high : low)++;
  }

  // Each dense state's step on the mark, apart, for the rows' many looks.
  std::vector<std::uint32_t> marked;
  if (mark_ != None) {
    marked.resize(b.dense);
    for (std::uint32_t q = 0; q < b.dense; ++q) marked[q] = b.denseGo[std::size_t{q} * nc + mark_];
  }
  // The whole step from dense state number q on class c: after a byte that
  // is not a word byte, the mark.
  auto stepOf = [&](std::uint32_t q, std::uint32_t c) {
    const std::uint32_t ts = b.denseGo[std::size_t{q} * nc + c];
    if (mark_ == None || !nonWord_[c]) return ts;
    return b.denseIndex[ts] != None ? marked[b.denseIndex[ts]] : b.Delta(ts, mark_);
  };
  // The dense states without output of their own row that a weak state
  // leads to on a byte that is not a word byte: each gets a shadow row.
  // A state that can retire leaves its entries to its failure state, which
  // then needs a shadow as well.
  std::vector<char> canRetire(count);
  for (std::uint32_t s = 1; s < count; ++s) canRetire[s] = b.CanRetire(s, positional_);
  std::vector<std::uint32_t> shadowOf(count, None);
  std::vector<std::uint32_t> shadowed;  // by shadow number: the state
  auto shadow = [&](std::uint32_t ts) {
    if (b.denseIndex[ts] == None || (b.output[ts] && !b.weak[ts]) || shadowOf[ts] != None) return;
    shadowOf[ts] = static_cast<std::uint32_t>(shadowed.size());
    shadowed.push_back(ts);
  };
  for (std::uint32_t q = 0; q < b.dense; ++q) {
    if (!b.weak[b.order[q]]) continue;
    for (std::uint32_t c = 0; c < nc; ++c) {
      if (!nonWord_[c]) continue;
      const std::uint32_t ts = stepOf(q, c);
      shadow(ts);
      if (canRetire[ts]) shadow(b.fail[ts]);
    }
  }

  belowRows_ = low + weak;
  denseRows_ = b.dense;
  highOutputs_ = high;
  std::size_t bit = 1;
  const std::size_t flagged = std::size_t{high} + 1 + shadowed.size();
  while (bit < std::max<std::size_t>(std::size_t{belowRows_} * nc, flagged * nc)) bit <<= 1;
  assert(bit + flagged * nc < DeepTag);
  outputBit_ = static_cast<std::uint32_t>(bit);
  weakStart_ = low * nc;
  escape_ = outputBit_ + high * nc;
  std::uint32_t lowAt = 0, weakAt = 0, highAt = 0, deepAt = 0;
  // The deep states in the order of their numbers, which is the trie's
  // depth-first order (it grew name by name, in sorted order): a walk that
  // spells out the rest of a long name goes from each state to the next
  // one, whose record and edges lie beside its own.
  for (std::uint32_t s = 0; s < count; ++s) {
    if (b.denseIndex[s] == None) b.rep[s] = DeepTag + deepAt++;
  }
  for (std::uint32_t q = 0; q < b.dense; ++q) {
    const std::uint32_t s = b.order[q];
    if (b.weak[s]) {
      b.outNumber[s] = high + weakAt;
      b.rep[s] = weakStart_ + weakAt++ * nc;
    } else if (b.output[s]) {
      b.outNumber[s] = highAt;
      b.rep[s] = outputBit_ + highAt++ * nc;
    } else {
      b.rep[s] = lowAt++ * nc;
    }
  }
  std::uint32_t outputs = high + weak;
  for (std::uint32_t s = 0; s < count; ++s) {
    if (b.denseIndex[s] == None && b.output[s]) b.outNumber[s] = outputs++;
  }
  b.original.assign(outputs, 0);
  for (std::uint32_t s = 0; s < count; ++s) {
    if (b.outNumber[s] != None) b.original[b.outNumber[s]] = s;
  }

  // The dense rows, and the edges: where a dense row's entry leads into a
  // deep state, the entry is the escape row and an edge of the row's gives
  // the state; the deep states' edges are their children. By owner, each
  // owner's by class. A weak state's row leads on a byte that is not a
  // word byte into the shadow of its target (flagged, so that the walks
  // look at that place exactly), unless the target is flagged itself. A
  // shadow row is its state's row again.
  next_ = platform::TLargeArray<std::uint32_t>(bit + flagged * nc);
  const std::uint32_t deep = deepAt;
  edgeStart_.assign(std::size_t{denseRows_} + 1, 0);
  std::vector<std::uint32_t> edgeOwner;  // by dense row's edge: its row
  // The entry that stands for state ts in a row: its shadow where a weak
  // state steps on a byte that is not a word byte.
  auto entry = [&](std::uint32_t ts, bool shadowing) {
    return shadowing && shadowOf[ts] != None ? escape_ + (1 + shadowOf[ts]) * nc : b.rep[ts];
  };
  auto writeRow = [&](std::uint32_t q, std::uint32_t offset, bool owner) {
    const bool weakRow = b.weak[b.order[q]];
    std::uint32_t* row = next_.data() + offset;
    for (std::uint32_t c = 0; c < nc; ++c) {
      const std::uint32_t ts = stepOf(q, c);
      const std::uint32_t t = b.rep[ts];
      if (t >= DeepTag) {
        row[c] = escape_;
        if (!owner) continue;
        const std::uint32_t rowNumber = OwnerOfRow(offset);
        ++edgeStart_[rowNumber + 1];
        edgeOwner.push_back(rowNumber);
        edges_.push_back({c, t});
        continue;
      }
      const bool shadowing = weakRow && nonWord_[c];
      row[c] = entry(ts, shadowing);
      if (canRetire[ts]) {
        b.retireSlots.push_back({ts, offset + c, entry(b.fail[ts], shadowing)});
      }
    }
  };
  for (std::uint32_t q = 0; q < b.dense; ++q) writeRow(q, b.rep[b.order[q]], true);
  shadowed_.resize(shadowed.size());
  for (std::uint32_t j = 0; j < shadowed.size(); ++j) {
    writeRow(b.denseIndex[shadowed[j]], escape_ + (1 + j) * nc, false);
    shadowed_[j] = b.rep[shadowed[j]];
  }
  start_ = mark_ == None ? 0 : b.rep[b.Delta(0, mark_)];
  std::fill(next_.data() + escape_, next_.data() + escape_ + nc, escape_);
  // The dense rows' edges went in by row in breadth-first order; sorted by
  // row, stably, they keep their classes' order.
  {
    std::vector<std::uint32_t> index(edges_.size());
    std::iota(index.begin(), index.end(), 0);
    std::stable_sort(index.begin(), index.end(),
                     [&](std::uint32_t x, std::uint32_t y) { return edgeOwner[x] < edgeOwner[y]; });
    std::vector<TEdge> sorted(index.size());
    for (std::size_t j = 0; j < index.size(); ++j) sorted[j] = edges_[index[j]];
    edges_ = std::move(sorted);
  }
  std::partial_sum(edgeStart_.begin(), edgeStart_.end(), edgeStart_.begin());
  // The deep states: their failure links and outputs, and their children
  // after the rows' edges, by deep state (breadth-first order keeps each
  // parent's children in class order).
  deep_.assign(deep, {0, None, 0, 0, NoFirst});
  for (std::uint32_t q = b.dense; q < count; ++q) {
    const std::uint32_t s = b.order[q];
    deep_[b.rep[s] - DeepTag].fail = b.rep[b.fail[s]];
    deep_[b.rep[s] - DeepTag].output = b.outNumber[s];
    const std::uint32_t parent = b.rep[b.parent[s]];
    if (parent >= DeepTag) ++deep_[parent - DeepTag].count;
  }
  std::uint32_t at = static_cast<std::uint32_t>(edges_.size());
  std::vector<std::uint32_t> fill(deep);
  for (std::uint32_t k = 0; k < deep; ++k) {
    deep_[k].first = fill[k] = at;
    at += deep_[k].count;
  }
  edges_.resize(at);
  for (std::uint32_t q = b.dense; q < count; ++q) {
    const std::uint32_t s = b.order[q];
    const std::uint32_t parent = b.rep[b.parent[s]];
    if (parent < DeepTag) continue;  // a dense row's edge already
    edges_[fill[parent - DeepTag]++] = {b.cls[s], b.rep[s]};
  }
  for (std::uint32_t k = 0; k < deep; ++k) {
    TDeep& d = deep_[k];
    if (d.count == 0) continue;
    assert(edges_[d.first].target == DeepTag + k + 1);
    d.firstClass = static_cast<std::uint16_t>(edges_[d.first].cls);
  }
  b.denseGo = {};
}

std::uint32_t TAutomaton::OwnerOfRow(std::uint32_t offset) const {
  return offset < outputBit_ ? Rows(offset) : belowRows_ + Rows(offset - outputBit_);
}

// Per output: the names it ends, the next state on its suffix chain that
// ends names of its own, the positional names to report at it, and
// whether it can retire.
void TAutomaton::Describe(Build& b) {
  const std::size_t outputs = b.original.size();
  const std::size_t count = b.Count();
  // The first state beyond s on its suffix chain that ends names of its own,
  // in breadth-first order so that the failure state's answer is known.
  std::vector<std::uint32_t> ownBeyond(count, None);
  auto owns = [&](std::uint32_t s) { return b.ownStart[s] != b.ownStart[s + 1]; };
  for (std::size_t q = 1; q < count; ++q) {
    const std::uint32_t s = b.order[q];
    const std::uint32_t f = b.fail[s];
    ownBeyond[s] = owns(f) ? f : ownBeyond[f];
  }
  chainNext_.assign(outputs, None);
  idStart_.assign(outputs + 1, 0);
  placeStart_.assign(outputs + 1, 0);
  placeWords_.assign(outputs, 0);
  retireTo_.assign(outputs, None);
  for (std::size_t k = 0; k < outputs; ++k) {
    const std::uint32_t s = b.original[k];
    const std::uint32_t* own = b.own.data() + b.ownStart[s];
    const std::size_t owned = b.ownStart[s + 1] - b.ownStart[s];
    for (std::size_t j = 0; j < owned; ++j) outputOf_[own[j]] = static_cast<std::uint32_t>(k);
    // Their stand-in is their failure state. The states of longer names
    // that hold such a name still report it through their suffix chains;
    // the flag stops those.
    if (b.CanRetire(s, positional_)) {
      retireTo_[k] = b.rep[b.fail[s]];
    }
    if (ownBeyond[s] != None) chainNext_[k] = b.outNumber[ownBeyond[s]];
    idStart_[k + 1] = idStart_[k] + static_cast<std::uint32_t>(owned);
    ids_.insert(ids_.end(), own, own + owned);
    for (bool wordEnd : {false, true}) {
      for (std::uint32_t u = s; u != None && u != 0; u = ownBeyond[u]) {
        for (std::uint32_t j = b.ownStart[u]; j < b.ownStart[u + 1]; ++j) {
          const std::uint32_t id = b.own[j];
          if (positional_[id] && wordEnds_.names[id] == wordEnd) placeIds_.push_back(id);
        }
      }
      if (!wordEnd) placeWords_[k] = static_cast<std::uint32_t>(placeIds_.size());
    }
    placeStart_[k + 1] = static_cast<std::uint32_t>(placeIds_.size());
  }
  hitStamp_.assign(outputs, 0);
  expandStamp_.assign(outputs, 0);
  retiredOutput_.assign(outputs, 0);
}

// The dense entries and the edges that lead into each output that can
// retire (an edge's slot is DeepTag plus its index).
void TAutomaton::FindRetireSlots(Build& b) {
  const std::size_t outputs = retireTo_.size();
  struct TFound {
    std::uint32_t output, slot, instead;
  };
  std::vector<TFound> found;
  found.reserve(b.retireSlots.size());
  for (const Build::TRetireSlot& r : b.retireSlots) found.push_back({b.outNumber[r.state], r.slot, r.instead});
  for (std::uint32_t e = 0; e < edges_.size(); ++e) {
    const std::uint32_t k = OutputOf(edges_[e].target);
    if (k != None && retireTo_[k] != None) found.push_back({k, DeepTag + e, retireTo_[k]});
  }
  slotStart_.assign(outputs + 1, 0);
  for (const TFound& f : found) ++slotStart_[f.output + 1];
  std::partial_sum(slotStart_.begin(), slotStart_.end(), slotStart_.begin());
  slots_.resize(found.size());
  slotInstead_.resize(found.size());
  std::vector<std::uint32_t> at(slotStart_.begin(), slotStart_.end() - 1);
  for (const TFound& f : found) {
    slotInstead_[at[f.output]] = f.instead;
    slots_[at[f.output]++] = f.slot;
  }
}

// Edge e is about to lead elsewhere: if it is a deep state's first, that
// state's walks read it from now on. Its target, x, is then that state's
// next one (a later child's state has the subtrees of those before it in
// between, and a dense row's edges lie before every deep state's).
void TAutomaton::ForgetFirst(std::uint32_t e) {
  const std::uint32_t t = edges_[e].target;
  if (t <= DeepTag) return;
  TDeep& owner = deep_[t - DeepTag - 1];
  if (owner.count != 0 && owner.first == e) owner.firstClass = NoFirst;
}

void TAutomaton::Retire(std::uint32_t id) {
  if (retired_[id] != Live) return;
  retired_[id] = Retiring;
  retiring_.push_back(id);
  const std::uint32_t k = outputOf_[id];
  if (k == None || retireTo_[k] == None || retiredOutput_[k]) return;
  retiredOutput_[k] = 1;
  for (std::uint32_t j = slotStart_[k]; j < slotStart_[k + 1]; ++j) {
    const std::uint32_t slot = slots_[j];
    if (slot >= DeepTag) ForgetFirst(slot - DeepTag);
    (slot < DeepTag ? next_[slot] : edges_[slot - DeepTag].target) = slotInstead_[j];
  }
}

void TAutomaton::Start() {
  if (++generation_ == 0) {
    generation_ = 1;
    std::fill(hitStamp_.begin(), hitStamp_.end(), 0);
    std::fill(expandStamp_.begin(), expandStamp_.end(), 0);
  }
  hits_.clear();
  state_ = start_;
  for (std::uint32_t id : retiring_) retired_[id] = Gone;
  retiring_.clear();
}

// The edge on class c among edges_[lo .. hi), or None.
std::uint32_t TAutomaton::Child(std::uint32_t lo, std::uint32_t hi, std::uint32_t c) const {
  while (hi - lo > 8) {
    const std::uint32_t mid = lo + (hi - lo) / 2;
    if (edges_[mid].cls < c) {
      lo = mid + 1;
    } else {
      hi = mid + 1;
    }
  }
  for (; lo < hi; ++lo) {
    if (edges_[lo].cls == c) return lo;
  }
  return None;
}

// One exact step: through the dense rows, the edges out of the deepest of
// them, and the deep states' children and failure links. A dense entry, or
// a dense row's edge, is the whole step; a deep state's child still takes
// the mark after a byte that is not a word byte.
std::uint32_t TAutomaton::Step(std::uint32_t s, std::uint32_t c) {
  std::uint32_t t;
  for (;;) {
    if (s < DeepTag) {
      t = next_[s + c];
      if (t < escape_) return t;
      if (t != escape_) return Unshadow(t);
      const std::uint32_t row = OwnerOfRow(s);
      return edges_[Child(edgeStart_[row], edgeStart_[row + 1], c)].target;
    }
    const TDeep& d = deep_[s - DeepTag];
    if (d.firstClass == c) {
      t = s + 1;
      break;
    }
    if (d.count > 1 || (d.count == 1 && d.firstClass == NoFirst)) {
      const std::uint32_t e = Child(d.first, d.first + d.count, c);
      if (e != None) {
        t = edges_[e].target;
        break;
      }
    }
    s = d.fail;
    ++work_;
  }
  return mark_ != None && nonWord_[c] ? Step(t, mark_) : t;
}

void TAutomaton::Hit(std::uint32_t k, const unsigned char* end) {
  if (hitStamp_[k] != generation_) {
    hitStamp_[k] = generation_;
    hits_.push_back(k);
  }
  if (placeStart_[k] != placeStart_[k + 1] && sink_ != nullptr) [[unlikely]] {
    // Word-end names only where the next byte, when in the block, ends the word.
    const bool wordEnds = end == blockEnd_ || !wordEnds_.wordBytes[*end];
    const std::uint32_t last = wordEnds ? placeStart_[k + 1] : placeWords_[k];
    for (std::uint32_t j = placeStart_[k]; j < last; ++j) {
      const std::uint32_t id = placeIds_[j];
      ++work_;
      if (retired_[id] == Live && !sink_->OnMatch(id, end)) Retire(id);
    }
  }
}

void TAutomaton::WalkExact(std::uint32_t& state, const unsigned char* p, std::size_t n) {
  const std::uint32_t* next = next_.data();
  const std::uint32_t plain = weakStart_;
  std::uint32_t s = state;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t c = classOf_[p[i]];
    if (s < DeepTag) [[likely]] {
      const std::uint32_t t = next[s + c];
      if (t < plain) [[likely]] {
        s = t;
        continue;
      }
      s = t < escape_ ? t : t == escape_ ? Step(s, c) : Unshadow(t);
    } else {
      s = Step(s, c);
    }
    const std::uint32_t k = OutputOf(s);
    if (k != None) Hit(k, p + i + 1);
  }
  state = s;
  work_ += n;
}

void TAutomaton::Skip(const unsigned char* p, std::size_t n, bool textStart) {
  std::uint32_t s = textStart ? start_ : 0;
  for (std::size_t i = 0; i < n; ++i) s = Step(s, classOf_[p[i]]);
  state_ = s;
  work_ += n;
}

void TAutomaton::Feed(const unsigned char* data, std::size_t size, TMatchSink* sink) {
  sink_ = sink;
  blockEnd_ = data + size;
  Walk(data, size);
  sink_ = nullptr;
  blockEnd_ = nullptr;
}

// A name found by the automaton ends at some byte and is at most maxLength_
// long. A walk started from the root maxLength_ bytes before a position is in
// the same state at that position as a walk over the whole text, so stretches
// that overlap by maxLength_ bytes find every name between them, and the last
// stretch ends in the state to carry into the next block. A name found twice
// in an overlap is reported once.
void TAutomaton::Walk(const unsigned char* data, std::size_t size) {
  const std::size_t overlap = maxLength_;
  if (size < MinLaneBlock || size < 2 * Lanes * (overlap + 1)) {
    WalkExact(state_, data, size);
    return;
  }
  const std::size_t step = (size + Lanes - 1) / Lanes;
  const std::size_t length = step + overlap;  // <= size by the test above
  const unsigned char* p[Lanes];
  // Each walk's state over the dense rows (the escape row while it is in a
  // deep state), and its exact deep state then.
  std::uint32_t s[Lanes], deep[Lanes];
  for (std::size_t j = 0; j < Lanes; ++j) {
    p[j] = data + std::min(j * step, size - length);
    s[j] = 0;
  }
  if (state_ >= DeepTag) {
    s[0] = escape_;
    deep[0] = state_;
  } else {
    s[0] = state_;
  }
  const std::uint32_t* next = next_.data();
  const std::uint32_t* classOf = classOf_;
  const std::uint32_t bit = outputBit_;
  const std::uint32_t escape = escape_;
  std::size_t i = 0;
  for (; i + Chunk <= length; i += Chunk) {
    std::uint32_t before[Lanes], seen[Lanes];
    for (std::size_t j = 0; j < Lanes; ++j) before[j] = seen[j] = s[j];
    for (std::size_t b = 0; b < Chunk; ++b) {
      for (std::size_t j = 0; j < Lanes; ++j) {
        s[j] = next[s[j] + classOf[p[j][i + b]]];
        seen[j] |= s[j];
      }
    }
    std::uint32_t any = 0;
    for (std::size_t j = 0; j < Lanes; ++j) any |= seen[j];
    if (any & bit) [[unlikely]] {
      // Some walks met a name or went deep: those go over the chunk again,
      // exactly, stopping at the names they meet.
      for (std::size_t j = 0; j < Lanes; ++j) {
        if (!(seen[j] & bit)) continue;
        std::uint32_t e = before[j] == escape ? deep[j] : before[j];
        // A weak state the chunk starts in: its places end at the chunk's
        // start, where the walk over the chunk before did not look.
        if (e >= weakStart_ && e < bit) Hit(OutputOf(e), p[j] + i);
        WalkExact(e, p[j] + i, Chunk);
        if (e >= DeepTag) {
          deep[j] = e;
          e = escape;
        }
        s[j] = e;
      }
    }
  }
  work_ += i * Lanes;
  for (std::size_t j = 0; j < Lanes; ++j) {
    std::uint32_t e = s[j] == escape ? deep[j] : s[j];
    if (e >= weakStart_ && e < bit) Hit(OutputOf(e), p[j] + i);
    WalkExact(e, p[j] + i, length - i);
    s[j] = e;
  }
  state_ = s[Lanes - 1];
}

void TAutomaton::AppendFound(std::vector<std::uint32_t>& found) {
  for (std::uint32_t k : hits_) {
    // Everything beyond an output already listed was listed with it.
    for (std::uint32_t t = k; t != None && expandStamp_[t] != generation_; t = chainNext_[t]) {
      expandStamp_[t] = generation_;
      for (std::uint32_t j = idStart_[t]; j < idStart_[t + 1]; ++j) {
        if (retired_[ids_[j]] != Gone) found.push_back(ids_[j]);
      }
    }
  }
}

}  // namespace match

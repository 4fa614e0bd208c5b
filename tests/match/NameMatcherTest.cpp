#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "match/EndSearch.h"
#include "match/NameMatcher.h"
#include "tests/support/VectorLevels.h"

using match::TNameMatcher;
using testsupport::VectorLevels;
using testsupport::VectorLevelScope;

namespace {

// The slow, obvious reference: both upper-cased, one search per name.
std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::vector<std::uint32_t> Expected(const std::vector<std::string>& names, const std::string& text) {
  const std::string upper = Upper(text);
  std::vector<std::uint32_t> ids;
  for (std::uint32_t k = 0; k < names.size(); ++k) {
    if (upper.find(Upper(names[k])) != std::string::npos) ids.push_back(k);
  }
  return ids;
}

std::vector<std::uint32_t> Sorted(std::vector<std::uint32_t> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

// Feeds text in blocks of the given size (0: all at once).
std::vector<std::uint32_t> Match(TNameMatcher& matcher, const std::string& text,
                                 std::size_t block) {
  matcher.Start();
  if (block == 0) block = std::max<std::size_t>(text.size(), 1);
  for (std::size_t at = 0; at < text.size(); at += block) {
    matcher.Feed(text.data() + at, std::min(block, text.size() - at));
  }
  return matcher.Found();
}

// Each path of the matcher: the portable automaton and the vector filters
// (held on them), those the processor lacks skipped.
class NameMatcherPaths : public testing::TestWithParam<match::TVectorLevel> {
 protected:
  void SetUp() override {
    if (!testsupport::Runs(GetParam())) {
      GTEST_SKIP() << testsupport::LevelName(GetParam()) << ": this CPU lacks it";
    }
  }
  VectorLevelScope scope_{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Levels, NameMatcherPaths, testing::ValuesIn(testsupport::AllVectorLevels()),
                         [](const auto& info) {
                           return std::string(info.param == match::TVectorLevel::None ? "Portable"
                                              : info.param == match::TVectorLevel::Avx2 ? "Avx2"
                                                                                           : "Avx512");
                         });

struct FixedCase {
  const char* what;
  std::vector<std::string> names;
  std::string text;
  std::size_t block;
  std::vector<std::uint32_t> found;
};

void PrintTo(const FixedCase& c, std::ostream* os) { *os << c.what; }

class NameMatcherCases : public testing::TestWithParam<FixedCase> {};

TEST_P(NameMatcherCases, FindsExactlyTheNamesThatOccur) {
  for (const auto level : VectorLevels()) {
    VectorLevelScope scope(level);
    TNameMatcher matcher(GetParam().names);
    EXPECT_EQ(matcher.VectorPath(), level != match::TVectorLevel::None);
    EXPECT_EQ(Sorted(Match(matcher, GetParam().text, GetParam().block)), GetParam().found)
        << testsupport::LevelName(level);
  }
}

std::string Filler(std::size_t n) { return std::string(n, '-'); }

INSTANTIATE_TEST_SUITE_P(
    Texts, NameMatcherCases,
    testing::Values(
        FixedCase{"suffix inside a longer name", {"a.cfm", "data.cfm", "ta.c"}, "<data.cfm>", 0, {0, 1, 2}},
        FixedCase{"only ASCII letters fold", {"\xe9t\xe9.gif", "\xc9T\xc9.GIF"}, "\xe9T\xe9.GiF", 0, {0}},
        FixedCase{"neighbours of the letters do not fold", {"{", "`", "@", "["}, "@[", 0, {2, 3}},
        FixedCase{"NUL bytes are data", {std::string("a\0b", 3), "b"}, std::string("xA\0Bx", 5), 0, {0, 1}},
        FixedCase{"straddling two blocks", {"target.gif"}, Filler(65531) + "target.gif", 65536, {0}},
        FixedCase{"straddling one-byte blocks", {"abc", "bcd"}, "xxabcd", 1, {0, 1}},
        FixedCase{"repeated and empty names", {"x", "", "X", "y"}, "..x..", 0, {0, 1, 2}},
        FixedCase{"empty text finds only the empty name", {"a", ""}, "", 0, {1}},
        FixedCase{"nothing occurs", {"index.cfm"}, Filler(200000), 65536, {}}));

TEST_P(NameMatcherPaths, StartForgetsThePreviousText) {
  TNameMatcher matcher({"one", "two"});
  EXPECT_EQ(Sorted(Match(matcher, Filler(70000) + "one" + Filler(9000) + "TWO", 65536)),
            (std::vector<std::uint32_t>{0, 1}));
  EXPECT_EQ(Match(matcher, "tw", 0), std::vector<std::uint32_t>{});
  EXPECT_EQ(Match(matcher, "o" + Filler(5000), 0), std::vector<std::uint32_t>{});
}

// Against the per-name search over many random name sets and texts: names
// built as prefixes, suffixes and repeats of each other, bytes around the
// folding range and NULs, long names, block sizes from 1 byte to whole texts,
// and memory budgets small enough to split the names into many groups.
TEST_P(NameMatcherPaths, AgreesWithThePerNameSearch) {
  const std::string alphabet("aAbB.\0_zZ[`{@\xe9\xff", 15);
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    if (!testsupport::DealtTo(seed, GetParam())) continue;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const std::size_t letters = 2 + pick(alphabet.size() - 1);  // small alphabets give many hits
    auto randomBytes = [&](std::size_t n) {
      std::string s;
      for (std::size_t j = 0; j < n; ++j) s += alphabet[pick(letters)];
      return s;
    };

    std::vector<std::string> names;
    const std::size_t nameCount = 1 + pick(60);
    for (std::size_t k = 0; k < nameCount; ++k) {
      const std::size_t kind = pick(10);
      if (kind < 5 || names.empty()) {
        names.push_back(randomBytes(1 + pick(pick(20) == 0 ? 300 : 7)));
      } else {
        const std::string& other = names[pick(names.size())];
        const std::size_t cut = pick(other.size() + 1);
        if (kind == 5) names.push_back(other.substr(0, cut));         // prefix, maybe empty
        else if (kind == 6) names.push_back(other.substr(cut));       // suffix
        else if (kind == 7) names.push_back(other);                   // repeat
        else names.push_back(other + randomBytes(1 + pick(3)));       // extension
      }
    }

    TNameMatcher matcher(names, pick(3) == 0 ? 8 + pick(400) : TNameMatcher::DefaultBudget);
    for (int text = 0; text < 3; ++text) {
      std::string t;
      const std::size_t length = pick(4) == 0 ? pick(300000) : pick(5000);
      while (t.size() < length) {
        if (pick(8) == 0) {
          std::string name = names[pick(names.size())];
          for (char& c : name) {
            if (pick(2) == 0 && c >= 'A' && c <= 'Z') c += 'a' - 'A';
          }
          t += name;
        } else {
          t += randomBytes(1 + pick(40));
        }
      }
      const std::size_t blocks[] = {0, 1 + pick(16), 65536, 1 + pick(100000)};
      const std::size_t block = blocks[pick(4)];
      SCOPED_TRACE("text " + std::to_string(text) + ", block " + std::to_string(block));
      ASSERT_EQ(Sorted(Match(matcher, t, block)), Expected(names, t));
    }
  }
}

// Over its budget the automaton keeps its deep states compactly: a text is
// still walked once, and names that share long prefixes are all found.
TEST(NameMatcher, KeepsDeepStatesCompactlyOverBudget) {
  VectorLevelScope scalar(match::TVectorLevel::None, false);
  std::vector<std::string> names;
  for (int k = 0; k < 100; ++k) names.push_back("page" + std::to_string(k) + ".cfm");
  EXPECT_EQ(TNameMatcher(names).DenseDepth(), 10u);
  TNameMatcher compact(names, 100);
  EXPECT_EQ(compact.DenseDepth(), 4u);
  EXPECT_EQ(Sorted(Match(compact, "PAGE7.CFM page42.cfm page4.cf page9", 0)),
            (std::vector<std::uint32_t>{7, 42}));
  std::string text;
  for (int k = 99; k >= 0; k -= 3) text += "xpage" + std::to_string(k) + ".cf" + Filler(200);
  text += "page33.cfm" + Filler(70000) + "page66.CFM";
  EXPECT_EQ(Sorted(Match(compact, text, 65536)), (std::vector<std::uint32_t>{33, 66}));
}

}  // namespace

namespace {

// Records each place of a positional name and retires the names it is told.
struct RecordingSink : match::TMatchSink {
  std::vector<std::pair<std::uint32_t, std::size_t>> places;  // id, end offset
  const char* text = nullptr;
  std::vector<std::uint32_t> unwanted;
  bool OnMatch(std::uint32_t id, const unsigned char* end) override {
    places.emplace_back(id, static_cast<std::size_t>(reinterpret_cast<const char*>(end) - text));
    return std::find(unwanted.begin(), unwanted.end(), id) == unwanted.end();
  }
};

// Every place of a positional name is reported, whatever the block size
// (stretches overlap, so a place may come twice); a retired name is never
// reported again, while the names that end inside it still are.
TEST_P(NameMatcherPaths, PositionalNamesReportEveryPlaceUntilRetired) {
  const std::vector<std::string> names = {"dsp#", "sp#", "dsp_x", "x#"};
  const std::vector<bool> positional = {true, false, false, true};
  std::string text = "..dsp#..Dsp#..";
  text += std::string(9000, '.') + "dsp#";
  for (std::size_t block : {std::size_t{0}, std::size_t{3}, std::size_t{4096}}) {
    TNameMatcher matcher(names, TNameMatcher::DefaultBudget, positional);
    RecordingSink sink;
    sink.text = text.data();
    matcher.Start();
    if (block == 0) block = text.size();
    for (std::size_t at = 0; at < text.size(); at += block) {
      const std::size_t n = std::min(block, text.size() - at);
      sink.text = text.data();
      matcher.Feed(text.data() + at, n, &sink);
    }
    std::vector<std::size_t> ends;
    for (const auto& [id, end] : sink.places) {
      EXPECT_EQ(id, 0u);
      ends.push_back(end);
    }
    std::sort(ends.begin(), ends.end());
    ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
    EXPECT_EQ(ends, (std::vector<std::size_t>{6, 12, text.size()})) << "block " << block;

    // Retired at its next place: then never again, in this text or the next.
    sink.places.clear();
    sink.unwanted = {0};
    const std::string next = "dsp# dsp# x# dsp_x";
    sink.text = next.data();
    matcher.Start();
    matcher.Feed(next.data(), next.size(), &sink);
    EXPECT_EQ(Sorted(matcher.Found()), (std::vector<std::uint32_t>{0, 1, 2, 3}));
    matcher.Start();
    sink.places.clear();
    matcher.Feed(next.data(), next.size(), &sink);
    EXPECT_EQ(Sorted(matcher.Found()), (std::vector<std::uint32_t>{1, 2, 3}));
    ASSERT_EQ(sink.places.size(), 1u);
    EXPECT_EQ(sink.places[0].first, 3u);
  }
}

// The places of the positional names in text, by one search per name: all
// of them, but for a word-end name only those before a byte that is not a
// word byte (or at the end). The places the matcher may add (a word-end
// name's place at a block's end, where it cannot see the next byte) are
// dropped from reported: those in a word ending at a multiple of block.
using Places = std::set<std::pair<std::uint32_t, std::size_t>>;

bool StartsWord(const match::TWordEnds& wordEnds, const std::string& text, std::size_t at) {
  return at == 0 || !wordEnds.wordBytes[static_cast<unsigned char>(text[at - 1])];
}

// Expected, but a word-start name only where it starts a word.
std::vector<std::uint32_t> ExpectedAtStarts(const std::vector<std::string>& names,
                                            const match::TWordEnds& wordEnds,
                                            const std::string& text) {
  std::vector<std::uint32_t> found;
  const std::string upper = Upper(text);
  for (std::uint32_t k : Expected(names, text)) {
    bool starts = !wordEnds.starts[k] || names[k].empty();
    const std::string name = Upper(names[k]);
    for (std::size_t at = upper.find(name); !starts && at != std::string::npos;
         at = upper.find(name, at + 1)) {
      starts = StartsWord(wordEnds, text, at);
    }
    if (starts) found.push_back(k);
  }
  return found;
}

Places PlacesOf(const std::vector<std::string>& names, const std::vector<bool>& positional,
                const match::TWordEnds& wordEnds, const std::string& text,
                const std::vector<bool>& gone) {
  const std::string upper = Upper(text);
  std::vector<std::size_t> ends;  // the places where a word ends
  for (std::size_t end = 0; end <= text.size(); ++end) {
    if (end == text.size() || !wordEnds.wordBytes[static_cast<unsigned char>(text[end])]) {
      ends.push_back(end);
    }
  }
  Places places;
  for (std::uint32_t k = 0; k < names.size(); ++k) {
    const std::string name = Upper(names[k]);
    if (!positional[k] || gone[k] || name.empty()) continue;
    if (k < wordEnds.starts.size() && wordEnds.starts[k]) {
      for (std::size_t at = upper.find(name); at != std::string::npos; at = upper.find(name, at + 1)) {
        const std::size_t end = at + name.size();
        if (StartsWord(wordEnds, text, at) &&
            (!wordEnds.names[k] || std::binary_search(ends.begin(), ends.end(), end))) {
          places.emplace(k, end);
        }
      }
      continue;
    }
    // (Where words are long, by the few places where they end.)
    if (wordEnds.names[k] && ends.size() * 8 < text.size()) {
      for (std::size_t end : ends) {
        if (end >= name.size() && upper.compare(end - name.size(), name.size(), name) == 0) {
          places.emplace(k, end);
        }
      }
      continue;
    }
    for (std::size_t at = upper.find(name); at != std::string::npos; at = upper.find(name, at + 1)) {
      const std::size_t end = at + name.size();
      if (!wordEnds.names[k] || std::binary_search(ends.begin(), ends.end(), end)) {
        places.emplace(k, end);
      }
    }
  }
  return places;
}

Places WithoutBlockEnds(const Places& reported, const match::TWordEnds& wordEnds,
                        const std::string& text, std::size_t block) {
  Places kept;
  for (const auto& [id, end] : reported) {
    const bool inWord = end < text.size() && wordEnds.wordBytes[static_cast<unsigned char>(text[end])];
    if (!(wordEnds.names[id] && inWord && end % block == 0)) kept.emplace(id, end);
  }
  return kept;
}

// Every place of every positional name (some only at word ends, some only
// where words start), against a
// search for all places
// of each name, over random names and texts fed in random blocks; then the
// positional names that the sink gave up in one text (at a place of theirs)
// are gone from the next, also those that end inside other names, while the
// others stay found and reported.
TEST_P(NameMatcherPaths, ReportsEveryPlaceAndRetiresAgainstThePerNameSearch) {
  const std::string alphabet("aAbB#.\0_[\xe9", 10);
  for (std::uint32_t seed = 1; seed <= 120; ++seed) {
    if (!testsupport::DealtTo(seed, GetParam())) continue;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const std::size_t letters = 2 + pick(alphabet.size() - 1);
    auto randomBytes = [&](std::size_t n) {
      std::string s;
      for (std::size_t j = 0; j < n; ++j) s += alphabet[pick(letters)];
      return s;
    };
    std::vector<std::string> names;
    std::vector<bool> positional;
    match::TWordEnds wordEnds;
    for (char c : std::string("aAbB")) wordEnds.wordBytes[static_cast<unsigned char>(c)] = true;
    for (std::size_t k = 1 + pick(30); k > 0; --k) {
      if (!names.empty() && pick(4) == 0) {
        names.push_back(names[pick(names.size())] + (pick(2) ? randomBytes(1) : ""));
      } else {
        names.push_back(randomBytes(1 + pick(pick(10) == 0 ? 70 : 8)));
      }
      positional.push_back(pick(3) != 0);
      wordEnds.names.push_back(positional.back() && pick(3) == 0);
      wordEnds.starts.push_back(pick(4) == 0);
    }
    auto text = [&] {
      std::string t;
      for (std::size_t length = pick(3) == 0 ? pick(200000) : pick(3000); t.size() < length;) {
        t += pick(6) == 0 ? names[pick(names.size())] : randomBytes(1 + pick(30));
      }
      return t;
    };
    auto expectedPlaces = [&](const std::string& t, const std::vector<bool>& gone) {
      return PlacesOf(names, positional, wordEnds, t, gone);
    };
    auto feed = [&](TNameMatcher& matcher, const std::string& t, RecordingSink& sink) {
      matcher.Start();
      sink.text = t.data();
      const std::size_t block = std::vector<std::size_t>{1 + pick(7), 65536, 1 + pick(9000)}[pick(3)];
      for (std::size_t at = 0; at < t.size(); at += block) {
        matcher.Feed(t.data() + at, std::min(block, t.size() - at), &sink);
      }
      return WithoutBlockEnds(Places(sink.places.begin(), sink.places.end()), wordEnds, t, block);
    };

    TNameMatcher matcher(names, pick(3) == 0 ? 8 + pick(400) : TNameMatcher::DefaultBudget,
                         positional, wordEnds);
    const std::vector<bool> none(names.size(), false);
    const std::string first = text();
    RecordingSink keep;
    ASSERT_EQ(feed(matcher, first, keep), expectedPlaces(first, none));

    // The sink gives up some names at their first place; from the next text
    // on, those it was asked about are neither found nor reported.
    RecordingSink giveUp;
    for (std::uint32_t k = 0; k < names.size(); ++k) {
      if (pick(2) != 0) giveUp.unwanted.push_back(k);
    }
    feed(matcher, first, giveUp);
    // Gone: asked about one of their places, and declined it.
    std::vector<bool> gone(names.size(), false);
    for (const auto& [id, end] : giveUp.places) {
      gone[id] = std::find(giveUp.unwanted.begin(), giveUp.unwanted.end(), id) !=
                 giveUp.unwanted.end();
    }
    const std::string second = text();
    RecordingSink after;
    const Places placesAfter = expectedPlaces(second, gone);
    ASSERT_EQ(feed(matcher, second, after), placesAfter);
    // A word-end name is found where it ends a word; elsewhere either way.
    std::set<std::uint32_t> atWordEnds;
    for (const auto& [id, end] : placesAfter) atWordEnds.insert(id);
    std::vector<std::uint32_t> found, foundNow;
    for (std::uint32_t k : ExpectedAtStarts(names, wordEnds, second)) {
      if (!gone[k] && (!wordEnds.names[k] || atWordEnds.count(k) != 0)) found.push_back(k);
    }
    for (std::uint32_t k : Sorted(matcher.Found())) {
      if (!wordEnds.names[k] || atWordEnds.count(k) != 0) foundNow.push_back(k);
    }
    ASSERT_EQ(foundNow, found);
  }
}

}  // namespace

namespace {

// Declines the places of the ids it is told, recording the rest.
struct DecliningSink : match::TMatchSink {
  std::set<std::uint32_t> declined, reported;
  bool OnMatch(std::uint32_t id, const unsigned char*) override {
    if (declined.count(id) != 0) return false;
    reported.insert(id);
    return true;
  }
};

void FeedText(TNameMatcher& matcher, const std::string& text, match::TMatchSink& sink) {
  matcher.Start();
  for (std::size_t at = 0; at < text.size(); at += 65536) {
    matcher.Feed(text.data() + at, std::min<std::size_t>(65536, text.size() - at), &sink);
  }
}

std::string Item(int k) { return "item_" + std::to_string(10 + k) + ".cfm"; }

// Where the filter lets through too much, the matcher takes the automaton:
// at once for names whose ends are common text (two letters), and between
// texts once a window of text showed it, the names retired so far (by the
// sink or by the caller) staying retired there.
TEST(NameMatcherFallback, LeavesAFilterThatPassesTooMuchForTheAutomaton) {
  for (const auto level : VectorLevels()) {
    if (level == match::TVectorLevel::None) continue;
    SCOPED_TRACE(testsupport::LevelName(level));
    VectorLevelScope scope(level, false);
    TNameMatcher letters({"en", "de", "fr", "it", "js", "nl", "pt", "ru", "zh", "ko"});
    EXPECT_FALSE(letters.VectorPath());
    EXPECT_EQ(Sorted(Match(letters, "<html lang=\"ZH\">", 0)), (std::vector<std::uint32_t>{8}));

    std::vector<std::string> names;
    std::vector<bool> positional;
    for (int k = 0; k < 60; ++k) {
      names.push_back(Item(k));
      positional.push_back(k % 2 == 0);
    }
    TNameMatcher matcher(names, TNameMatcher::DefaultBudget, positional);
    ASSERT_TRUE(matcher.VectorPath());
    // A place at every eighth byte ends like the names, and none is one.
    std::string first;
    while (first.size() < match::TEndSearch::WindowBytes) first += "x11.cfm ";
    first += Item(3) + Item(4) + Item(6);
    DecliningSink sink;
    sink.declined = {4};
    FeedText(matcher, first, sink);
    matcher.Retire(8);
    EXPECT_EQ(Sorted(matcher.Found()), (std::vector<std::uint32_t>{3, 4, 6}));
    EXPECT_EQ(sink.reported, (std::set<std::uint32_t>{6}));

    DecliningSink next;
    FeedText(matcher, Item(3) + Item(4) + Item(6) + Item(8) + Item(10), next);
    EXPECT_FALSE(matcher.VectorPath());
    EXPECT_EQ(Sorted(matcher.Found()), (std::vector<std::uint32_t>{3, 6, 10}));
    EXPECT_EQ(next.reported, (std::set<std::uint32_t>{6, 10}));
  }
}

// Thousands of names retiring text after text, every window giving reason
// to build the filter again: it is built no more than its bound.
TEST(NameMatcherFallback, BuildsTheFilterABoundedNumberOfTimes) {
  for (const auto level : VectorLevels()) {
    if (level == match::TVectorLevel::None) continue;
    SCOPED_TRACE(testsupport::LevelName(level));
    VectorLevelScope scope(level);
    // Each name's last five bytes its own, so that a retired name's places
    // are turned away by the second filter, and counted as wasted.
    std::vector<std::string> names;
    for (int k = 0; k < 5000; ++k) names.push_back("comp_" + std::to_string(10000 + k));
    TNameMatcher matcher(names, TNameMatcher::DefaultBudget,
                         std::vector<bool>(names.size(), true));
    DecliningSink sink;
    for (std::uint32_t k = 0; k < names.size(); ++k) sink.declined.insert(k);
    std::size_t fed = 0;
    for (std::size_t text = 0; fed < 12 * match::TEndSearch::WindowBytes; ++text) {
      std::string t;
      for (std::size_t k = 0; t.size() < 65536; ++k) {
        t += names[(text * 40 + k % 400) % names.size()] + " ";
      }
      FeedText(matcher, t, sink);
      fed += t.size();
    }
    EXPECT_GT(matcher.FilterBuilds(), 1u);
    EXPECT_LE(matcher.FilterBuilds(), match::TEndSearch::MaxFilterBuilds);
  }
}

// The texts hardest for each path, where names end at every byte: one name
// of 250 "a"s, or 250 nested names "a" to 250 "a"s, in a text of "a"s. The
// work stays within a few steps per byte on every path (the vector path
// gives way to the automaton within the text; word-end names are reported
// where words end), and what is found and reported stays right across that.
TEST_P(NameMatcherPaths, WorkStaysLinearInTheBytesOnTheHardestTexts) {
  testsupport::VectorLevelScope judged(GetParam(), false);
  std::vector<std::string> nested;
  for (std::size_t n = 1; n <= 250; ++n) nested.push_back(std::string(n, 'a'));
  std::vector<std::string> nestedAndAb = nested;
  nestedAndAb.push_back("ab");
  match::TWordEnds wordEnds;
  for (int c = 'a'; c <= 'z'; ++c) wordEnds.wordBytes[c] = wordEnds.wordBytes[c - 32] = true;
  wordEnds.names.assign(250, true);
  struct Case {
    const char* what;
    std::vector<std::string> names;
    std::vector<bool> positional;
  };
  const Case cases[] = {
      {"one long name", {std::string(250, 'a')}, {}},
      {"nested names", nested, {}},
      {"nested names at word ends, and one at every place", nestedAndAb,
       std::vector<bool>(251, true)},
  };
  const std::string text = std::string(std::size_t{1} << 18, 'a') + " ab " + std::string(300, 'A') + ".";
  constexpr std::size_t Block = 65536;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    match::TWordEnds ends = wordEnds;
    ends.names.resize(c.names.size(), false);
    TNameMatcher matcher(c.names, TNameMatcher::DefaultBudget, c.positional, ends);
    RecordingSink sink;
    sink.text = text.data();
    matcher.Start();
    for (std::size_t at = 0; at < text.size(); at += Block) {
      matcher.Feed(text.data() + at, std::min(Block, text.size() - at), &sink);
    }
    EXPECT_EQ(Sorted(matcher.Found()), Expected(c.names, text));
    std::vector<bool> positional = c.positional;
    positional.resize(c.names.size(), false);
    EXPECT_EQ(WithoutBlockEnds(Places(sink.places.begin(), sink.places.end()), ends, text, Block),
              PlacesOf(c.names, positional, ends, text, std::vector<bool>(c.names.size(), false)));
    EXPECT_LE(matcher.Work(), 4 * text.size() + 2 * match::TEndSearch::TextSlack);
  }
}

}  // namespace

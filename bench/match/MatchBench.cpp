// The name matcher alone, on texts in memory, at each level this processor
// runs (the automaton included), in 64 KiB blocks:
//   Words     2000 file-like names over text cut from words and markup,
//             one in 40 of them named somewhere
//   High      the same names over bytes >= 0x80 only
//   OneLong   one name of 250 "a"s over a text of "a"s alone
//   Nested    250 names "a" to 250 "a"s, positional at word ends (letters
//             are word bytes; the sink keeps each place), over a text of
//             "a"s alone
// QUILMERE_BENCH_TEXT_MB sets the texts' size (8 MB). Bytes per second are
// the texts' bytes; the matcher's build is included.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "match/NameMatcher.h"

using match::TNameMatcher;
using match::TVectorLevel;

namespace {

constexpr std::size_t BlockSize = 65536;

struct Corpus {
  std::vector<std::string> names;
  std::vector<bool> positional;
  match::TWordEnds wordEnds;
  std::string text;
};

std::size_t TextBytes() {
  const char* mb = std::getenv("QUILMERE_BENCH_TEXT_MB");
  return (mb ? std::stoul(mb) : 8) << 20;
}

Corpus Make(int kind) {
  Corpus c;
  const std::size_t size = TextBytes();
  std::mt19937 rng(7);
  const char* const words[] = {"product", "list", "detail", "news", "cart", "order", "user",
                               "menu", "style", "page", "index", "form", "<td class=\"", "\">",
                               "</div>\n", "<cfif ", " eq ", "#form.", " ", " ", ".", "_"};
  auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
  switch (kind) {
    case 0:
    case 1:
      for (int k = 0; k < 2000; ++k) {
        c.names.push_back(std::string(words[pick(12)]) + "_" + words[pick(12)] +
                          std::to_string(k) + (k % 3 ? ".cfm" : ".gif"));
      }
      if (kind == 1) {
        while (c.text.size() < size) c.text += static_cast<char>(0x80 + pick(128));
        break;
      }
      while (c.text.size() < size) {
        c.text += words[pick(std::size(words))];
        if (pick(40) == 0) c.text += c.names[pick(c.names.size())];
      }
      break;
    case 2:
      c.names.push_back(std::string(250, 'a'));
      c.text.assign(size, 'a');
      break;
    default:
      for (std::size_t n = 1; n <= 250; ++n) c.names.push_back(std::string(n, 'a'));
      c.positional.assign(c.names.size(), true);
      c.wordEnds.names.assign(c.names.size(), true);
      for (int ch = 'a'; ch <= 'z'; ++ch) c.wordEnds.wordBytes[ch] = c.wordEnds.wordBytes[ch - 32] = true;
      c.text.assign(size, 'a');
      break;
  }
  c.positional.resize(c.names.size(), false);
  return c;
}

struct CountingSink : match::TMatchSink {
  std::size_t places = 0;
  bool OnMatch(std::uint32_t, const unsigned char*) override {
    ++places;
    return true;
  }
};

const char* const KindNames[] = {"Words", "High", "OneLong", "Nested"};

// range(0): the corpus; range(1): the level.
void Match(benchmark::State& state) {
  const auto level = static_cast<TVectorLevel>(state.range(1));
  if (level > match::SupportedVectorLevel()) {
    state.SkipWithError("this CPU lacks the level");
    return;
  }
  static std::vector<Corpus> corpora(std::size(KindNames));
  Corpus& c = corpora[static_cast<std::size_t>(state.range(0))];
  if (c.text.empty()) c = Make(static_cast<int>(state.range(0)));
  TNameMatcher::LimitVectorLevel(level);
  CountingSink sink;
  bool vector = false;
  for (auto _ : state) {
    TNameMatcher matcher(c.names, TNameMatcher::DefaultBudget, c.positional, c.wordEnds);
    matcher.Start();
    for (std::size_t at = 0; at < c.text.size(); at += BlockSize) {
      matcher.Feed(c.text.data() + at, std::min(BlockSize, c.text.size() - at), &sink);
    }
    benchmark::DoNotOptimize(matcher.Found());
    vector = matcher.VectorPath();
  }
  state.SetLabel(std::string(KindNames[state.range(0)]) +
                 (level == TVectorLevel::None ? "/scalar" : level == TVectorLevel::Avx2 ? "/avx2" : "/avx512") +
                 (level != TVectorLevel::None && !vector ? " (left for the automaton)" : ""));
  state.counters["places/byte"] = static_cast<double>(sink.places) /
                                  static_cast<double>(state.iterations() * c.text.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.text.size()));
}

}  // namespace

BENCHMARK(Match)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();

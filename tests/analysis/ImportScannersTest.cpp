#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "analysis/BlockMarks.h"
#include "analysis/ByteRows.h"
#include "analysis/SchemaRefs.h"
#include "analysis/StyleImports.h"
#include "analysis/TextWindow.h"
#include "match/VectorLevel.h"

namespace {

using Found = std::vector<std::pair<std::string, std::int64_t>>;

struct ScanCase {
  const char* what;
  const char* text;
  Found found;  // what the scanner reports, with lines
  bool indented = false;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.what; }

// Feeds text whole and again in blocks of every size up to 7, so that each
// look is cut by a block's end somewhere: both must report the same.
template <class Scanner, class StartFn>
void ExpectSameInEveryCut(const ScanCase& c, StartFn start) {
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{3},
                          std::size_t{7}}) {
    SCOPED_TRACE("blocks of " + std::to_string(cut));
    Found found;
    Scanner scanner([&](const std::string& name, std::int64_t line) {
      found.emplace_back(name, line);
    });
    start(scanner);
    const std::string text = c.text;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t step = cut == 0 ? text.size() : cut;
    for (std::size_t at = 0; at < text.size(); at += step) {
      scanner.Feed(bytes + at, std::min(step, text.size() - at));
    }
    if constexpr (std::is_same_v<Scanner, analysis::TSchemaRefs>) scanner.End();
    EXPECT_EQ(found, c.found);
  }
}

class StyleImports : public testing::TestWithParam<ScanCase> {};

TEST_P(StyleImports, ReportEachImportOutsideComments) {
  ExpectSameInEveryCut<analysis::TStyleImports>(
      GetParam(), [&](analysis::TStyleImports& s) { s.Start(GetParam().indented); });
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StyleImports,
    testing::Values(
        ScanCase{"partials and extensions", "@import \"a/_base.scss\", 'theme';\n@use \"x.css\";",
                 {{"BASE", 1}, {"THEME", 1}, {"X", 2}}},
        ScanCase{"comments hide imports", "// @import \"off\";\n/* @use 'gone'; */ @forward \"on\";",
                 {{"ON", 2}}},
        ScanCase{"strings and urls hide comment marks",
                 "a { content: \"//\"; b: url(http://x/y); }\n@import 'kept';", {{"KEPT", 2}}},
        ScanCase{"other at-rules and strings", "@media print { a { content: \"@import 'x'\" } }", {}},
        ScanCase{"a line ends an indented statement", "@import a\n'b'\n@import \"c\"",
                 {{"C", 3}}, true}));

class SchemaRefs : public testing::TestWithParam<ScanCase> {};

TEST_P(SchemaRefs, ReportTheFileOfEachRef) {
  ExpectSameInEveryCut<analysis::TSchemaRefs>(GetParam(),
                                              [](analysis::TSchemaRefs& s) { s.Start(); });
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SchemaRefs,
    testing::Values(
        ScanCase{"JSON, cut at #", "{\n \"$ref\" : \"../s/user.json#/defs/U\"}", {{"user.json", 2}}},
        ScanCase{"YAML, quoted or not", "a:\n  $ref: ./b.yaml\n  $REF: 'c.yml'", {{"b.yaml", 2}, {"c.yml", 3}}},
        ScanCase{"a local place names no file", "{\"$ref\": \"#/definitions/x\"}", {}},
        ScanCase{"dollars that are no ref", "$$ref: x.json $re: y.json $ref z.json", {{"x.json", 1}}},
        ScanCase{"an unquoted value at the end", "$ref: last.yaml", {{"last.yaml", 1}}}));

// The line ends of the reasons, counted eight bytes at a time: against a
// byte-by-byte count at every start and length around the eight-byte steps
// and the 255-step flush of the lanes, and over lines ends alone.
TEST(TextWindow, CountLineEndsAgreesWithAByteCount) {
  std::string text;
  for (std::size_t k = 0; text.size() < 5000; ++k) text += k % 7 == 0 ? "\n\n" : "a\nbcd\xff\x8a";
  text += std::string(4200, '\n');
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t start : {0, 1, 5, 8}) {
    for (std::size_t n : {0, 1, 7, 8, 9, 2039, 2040, 2041, 4095, 9000}) {
      const std::size_t length = std::min(n, text.size() - start);
      EXPECT_EQ(analysis::CountLineEnds(bytes + start, length),
                static_cast<std::size_t>(std::count(bytes + start, bytes + start + length, '\n')))
          << start << " " << length;
    }
  }
  EXPECT_EQ(analysis::CountLineEnds(bytes + text.size() - 4200, 4200), 4200u);
}

// The one pass over a block finds every "#", "&" and line end, by every
// path and at every length and alignment: against a byte-by-byte count over
// random blocks dense in all three, and blocks of line ends alone (a byte
// lane's count would overflow at 256).
TEST(BlockMarks, FindsWhatAByteByByteLookFinds) {
  std::mt19937 rng(7);
  const char bytes[] = {'#', '&', '\n', 'a', ' ', '\x80', '\xff', '"'};
  for (const std::size_t n : {0u, 1u, 15u, 16u, 33u, 4095u, 8161u, 65536u, 70001u, 70002u}) {
    std::string text(n, '\n');
    if (n != 70002) {
      for (char& c : text) c = bytes[rng() % sizeof bytes];
    }
    std::vector<std::uint32_t> hashes, amps;
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (text[i] == '#') hashes.push_back(static_cast<std::uint32_t>(i));
      if (text[i] == '&') amps.push_back(static_cast<std::uint32_t>(i));
      lineEnds += text[i] == '\n';
    }
    for (const bool avx2 : {false, true}) {
      if (avx2 && match::SupportedVectorLevel() < match::TVectorLevel::Avx2) continue;
      SCOPED_TRACE(std::to_string(n) + (avx2 ? " bytes, AVX2" : " bytes"));
      analysis::TBlockMarks marks;
      marks.avx2 = avx2;
      for (int twice = 0; twice < 2; ++twice) {  // a second scan forgets the first
        marks.Scan(reinterpret_cast<const unsigned char*>(text.data()), n);
        EXPECT_EQ(std::vector(marks.Hashes().begin(), marks.Hashes().end()), hashes);
        EXPECT_EQ(std::vector(marks.Amps().begin(), marks.Amps().end()), amps);
        EXPECT_EQ(marks.LineEnds(), lineEnds);
      }
    }
  }
}

// A set of bytes asked 32 at a time answers as its table does, for every
// byte value in every lane.
TEST(ByteRows, AnswersAsItsTable) {
  if (!analysis::TByteRows::Usable()) GTEST_SKIP() << "no AVX2 here";
  std::mt19937 rng(11);
  for (int round = 0; round < 64; ++round) {
    bool has[256] = {};
    for (bool& b : has) b = rng() % 3 == 0;
    const analysis::TByteRows rows(has);
    unsigned char text[32];
    for (int c = 0; c < 256; c += 32) {
      for (int i = 0; i < 32; ++i) text[i] = static_cast<unsigned char>(round % 2 ? c + i : rng());
      std::uint32_t expected = 0;
      for (int i = 0; i < 32; ++i) expected |= std::uint32_t{has[text[i]]} << i;
      EXPECT_EQ(rows.Members(text), expected);
    }
  }
}

}  // namespace

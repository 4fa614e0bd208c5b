#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/KeepList.h"
#include "tests/support/TempDir.h"

using analysis::KeepListError;
using analysis::TKeepList;

namespace {

const std::string SourceName = "/site/.quilmereignore";

struct MatchCase {
  const char* name;
  std::string list;
  std::string path;
  bool isDirectory;
  int line;  // what Match answers
};

class KeepListMatch : public testing::TestWithParam<MatchCase> {};

TEST_P(KeepListMatch, AnswersTheDecidingLine) {
  const MatchCase& c = GetParam();
  EXPECT_EQ(TKeepList::Parse(c.list, SourceName).Match(c.path, c.isDirectory), c.line);
}

const MatchCase MatchCases[] = {
    {"CommentsAndBlanksCountAsLines", "# a\n\n   \na\n", "a", false, 4},
    {"CommentIsNoPattern", "#a\n", "#a", false, 0},
    {"EscapedHashIsLiteral", "\\#a\n", "#a", false, 1},
    {"LastMatchWins", "*.txt\nd/a.txt\n", "d/a.txt", false, 2},
    {"NegationUnkeeps", "*.js\n!keep.js\n", "x/keep.js", false, 0},
    {"NegationLeavesOthers", "*.js\n!keep.js\n", "x/other.js", false, 1},
    {"KeptAgainAfterNegation", "*.js\n!keep.js\n/x/keep.js\n", "x/keep.js", false, 3},
    {"NegationBelowKeptFolderKeepsFolder", "build/\n!build/keep.js\n", "build", true, 1},
    {"EscapedBangIsLiteral", "\\!x\n", "!x", false, 1},
    {"LeadingSlashAnchors", "/a.txt\n", "d/a.txt", false, 0},
    {"NoSlashMatchesAtAnyDepth", "a.txt\n", "d/e/a.txt", false, 1},
    {"MiddleSlashAnchors", "d/a.txt\n", "x/d/a.txt", false, 0},
    {"MiddleSlashMatchesFromTop", "d/a.txt\n", "d/a.txt", false, 1},
    {"TrailingSlashTakesFolder", "logs/\n", "x/logs", true, 1},
    {"TrailingSlashSkipsFile", "logs/\n", "x/logs", false, 0},
    {"CaseSensitive", "A.txt\n", "a.txt", false, 0},
    {"StarStopsAtSlash", "d/*.txt\n", "d/e/a.txt", false, 0},
    {"StarTakesName", "d/*.txt\n", "d/.txt", false, 1},
    {"QuestionTakesOneByte", "a?c\n", "abc", false, 1},
    {"QuestionNeedsAByte", "a?c\n", "ac", false, 0},
    {"RangeIn", "[a-c].txt\n", "b.txt", false, 1},
    {"RangeOut", "[a-c].txt\n", "d.txt", false, 0},
    {"BangNegatesClass", "[!x].txt\n", "x.txt", false, 0},
    {"CaretNegatesClass", "[^x].txt\n", "y.txt", false, 1},
    {"BracketFirstIsMember", "[]a]\n", "]", false, 1},
    {"NamedClass", "v[[:digit:]]\n", "v7", false, 1},
    {"UnclosedBracketNeverMatches", "[ab\n", "[ab", false, 0},
    {"LeadingStarStarAtTop", "**/cache\n", "cache", true, 1},
    {"LeadingStarStarDeep", "**/cache\n", "a/b/cache", true, 1},
    {"TrailingStarStarInside", "d/**\n", "d/x/y", false, 1},
    {"TrailingStarStarNotFolder", "d/**\n", "d", true, 0},
    {"MiddleStarStarNone", "a/**/b\n", "a/b", false, 1},
    {"MiddleStarStarMany", "a/**/b\n", "a/x/y/b", false, 1},
    {"MiddleStarStarWholeNames", "a/**/b\n", "a/xb", false, 0},
    {"OtherStarStarIsStar", "a**b\n", "axyb", false, 1},
    {"OtherStarStarStopsAtSlash", "x/a**b\n", "x/a/b", false, 0},
    {"EscapedStar", "\\*.txt\n", "a.txt", false, 0},
    {"TrailingSpacesTrimmed", "a   \n", "a", false, 1},
    {"EscapedTrailingSpaceKept", "a\\ \n", "a ", false, 1},
    {"CrlfLines", "a\r\nb\r\n", "b", false, 2},
    {"NonUtf8Byte", "caf\xe9\n", "d/caf\xe9", false, 1},
    {"NonUtf8ByteIsNotItsUtf8", "caf\xc3\xa9\n", "caf\xe9", false, 0},
    {"QuestionTakesHighByte", "x?\n", "x\xff", false, 1},
};

INSTANTIATE_TEST_SUITE_P(KeepList, KeepListMatch, testing::ValuesIn(MatchCases),
                         [](const testing::TestParamInfo<MatchCase>& info) {
                           return std::string(info.param.name);
                         });

// Each name's line keeps that name and none of the others, so every byte
// with a meaning is escaped and nothing more is kept than asked.
TEST(KeepList, KeepLineForKeepsExactlyItsPath) {
  const std::vector<std::string> paths = {
      "*?[]!#\\", " lead", "trail ", "a b", "#x", "!x", "x", "d/[x]/f*", "d/x/f1",
      "\xff\x80",  "**",    "d/ sp /x", "a\\b", "ab"};
  for (const std::string& path : paths) {
    const TKeepList list = TKeepList::Parse(analysis::KeepLineFor(path), SourceName);
    for (const std::string& other : paths) {
      EXPECT_EQ(list.Match(other, false), other == path ? 1 : 0)
          << analysis::KeepLineFor(path) << " asked for " << other;
    }
  }
}

TEST(KeepList, OverBudgetListsAreRefusedByName) {
  std::string lines;
  for (std::size_t i = 0; i < analysis::KeepListMaxLines; ++i) lines += "a\n";
  EXPECT_NO_THROW(TKeepList::Parse(lines, SourceName));

  const std::string tooLarge(analysis::KeepListMaxBytes + 1, '#');
  testsupport::TempDir tmp;
  const std::string largeFile = tmp.Write(analysis::KeepListName, tooLarge);
  const struct {
    std::string text;  // empty: load largeFile instead
    std::string name, message;
  } cases[] = {
      {tooLarge, SourceName, "The keep list " + SourceName + " is larger than 1 MiB"},
      {lines + "a", SourceName, "The keep list " + SourceName + " has more than 10000 lines"},
      {"", largeFile, "The keep list " + largeFile + " is larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    try {
      if (c.text.empty()) {
        TKeepList::Load(c.name);
      } else {
        TKeepList::Parse(c.text, c.name);
      }
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const KeepListError& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

TEST(KeepList, LoadReadsTheFileOrNothing) {
  testsupport::TempDir tmp;
  EXPECT_TRUE(TKeepList::Load(tmp.Dir() + "missing/" + analysis::KeepListName).Empty());

  const std::string list = tmp.Write(analysis::KeepListName, "# kept\nvendor/\n");
  EXPECT_EQ(TKeepList::Load(list).Match("vendor", true), 2);

  // A folder in the list's place cannot be read, whoever runs the test.
  std::filesystem::create_directory(tmp.Dir() + "folder");
  const std::string folder = tmp.Dir() + "folder";
  try {
    TKeepList::Load(folder);
    ADD_FAILURE() << "a folder loaded as a keep list";
  } catch (const KeepListError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot read the keep list " + folder + ": ", 0), 0u)
        << e.what();
  }
}

// Stars that could backtrack into every split of the name finish with the
// right answer, within a name and across folders.
TEST(KeepList, ManyStarsAgainstLongPathsFinish) {
  std::string stars, deep;
  for (int i = 0; i < 40; ++i) stars += "*a";
  for (int i = 0; i < 40; ++i) deep += "**/a/";
  const TKeepList list = TKeepList::Parse(stars + "*b\n" + deep + "b\n", SourceName);
  const std::string name(20000, 'a');
  std::string folders;
  for (int i = 0; i < 2000; ++i) folders += "a/";
  EXPECT_EQ(list.Match(name, false), 0);
  EXPECT_EQ(list.Match(name + "b", false), 1);
  EXPECT_EQ(list.Match(folders + "a", false), 0);
  EXPECT_EQ(list.Match(folders + "b", false), 2);
}

}  // namespace

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/ProcessCommand.h"
#include "analysis/UseReason.h"
#include "tests/support/FlatSource.h"
#include "tests/support/TempDir.h"

namespace {

struct ReasonCase {
  analysis::TUseRule rule;
  std::uint8_t unused;
  const char* referrer;
  const char* text;
  std::int32_t line = 0;
};

class UseReason : public testing::TestWithParam<ReasonCase> {};

TEST_P(UseReason, NamesTheReferrerOnlyForRulesThatHaveOne) {
  analysis::TFileName entry;
  entry.Reason = GetParam().rule;
  entry.Unused = GetParam().unused;
  entry.Referrer = GetParam().referrer;
  entry.ReasonLine = GetParam().line;
  EXPECT_EQ(analysis::UseReasonText(entry), GetParam().text);
}

using analysis::TUseRule;
INSTANTIATE_TEST_SUITE_P(
    Rules, UseReason,
    testing::Values(ReasonCase{TUseRule::Named, 0, "/s/index.cfm", "Named in /s/index.cfm"},
                    ReasonCase{TUseRule::EntryFile, 0, "", "Entry file"},
                    ReasonCase{TUseRule::Component, 0, "/s/a.cfm", "Component named in /s/a.cfm"},
                    ReasonCase{TUseRule::TestBundle, 0, "/s/tests/T.cfc", "Test bundle"},
                    ReasonCase{TUseRule::EngineEntryFile, 0, "", "Run by the CFML engine"},
                    ReasonCase{TUseRule::StyleImport, 0, "/s/a.scss",
                               "Style sheet imported in /s/a.scss line 7", 7},
                    ReasonCase{TUseRule::KeptByList, 0, ".quilmereignore",
                               "Kept by .quilmereignore line 3", 3},
                    ReasonCase{TUseRule::Named, 1, "/s/index.cfm", ""},
                    ReasonCase{TUseRule::NotNamed, 1, "",
                               "No page, include, style sheet or script names this file"},
                    ReasonCase{TUseRule::None, 0, "", ""}));

// The order the window relies on: the listing text, the emptied table handed
// to the folder tree step, the scan, the warning, then the analysis.
TEST(ScanAndAnalyze, RunsTheStepsInOrderOnAFreshTable) {
  testsupport::TempDir tmp;
  auto table = std::make_unique<analysis::TFileTable>();
  table->Append("stale.gif", "/old/");
  std::vector<std::string> names;
  for (int i = 1; i <= 1001; ++i) names.push_back("f" + std::to_string(i));
  testsupport::FlatSource source(names);
  std::vector<std::string> events;
  analysis::TProcessHooks hooks;
  hooks.ShowStatus = [&](const std::string& s) {
    if (events.empty() || events.back() != s.substr(0, 12)) events.push_back(s.substr(0, 12));
  };
  hooks.BeforeScan = [&] { events.push_back("tree, " + std::to_string(table->FileCount)); };
  hooks.WarnTooManyFiles = [&] { events.push_back("warning"); };
  EXPECT_EQ(analysis::ScanAndAnalyze(tmp.Dir(), *table, source, hooks), 1001);
  EXPECT_EQ(events, (std::vector<std::string>{"  Getting di", "tree, 0", "warning", "  Analyze...",
                                              "  Analyzing "}));
  EXPECT_EQ((*table)[1].Name, "f1");
}

struct DirText {
  const char* text;
  const char* withDelimiter;
};

class DirectoryText : public testing::TestWithParam<DirText> {};

TEST_P(DirectoryText, GetsExactlyOneTrailingDelimiter) {
  EXPECT_EQ(analysis::WithTrailingDelimiter(GetParam().text), GetParam().withDelimiter);
}

INSTANTIATE_TEST_SUITE_P(Texts, DirectoryText,
                         testing::Values(DirText{"/site", "/site/"}, DirText{"/site/", "/site/"},
                                         DirText{"/site ", "/site /"}, DirText{"/", "/"}));

TEST(FileCountText, HasTwoBlanksOnEachSide) {
  EXPECT_EQ(analysis::FileCountText(57), "  57 files.  ");
  EXPECT_EQ(analysis::FileCountText(1200), "  1200 files.  ");
}

}  // namespace

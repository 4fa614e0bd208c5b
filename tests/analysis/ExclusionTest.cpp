#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "analysis/KeepList.h"
#include "analysis/KeepListFile.h"
#include "analysis/ProcessCommand.h"
#include "analysis/UseReason.h"
#include "tests/support/SortedSource.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// Relative path -> "unused" or the reason text, for every listed entry.
std::map<std::string, std::string> RunScan(const testsupport::TempDir& site,
                                           const analysis::TScanOptions& options = {},
                                           std::int32_t* count = nullptr) {
  auto table = std::make_unique<analysis::TFileTable>(analysis::NoFileLimit);
  testsupport::SortedSource source;
  const std::int32_t met = analysis::ScanAndAnalyze(site.Dir(), *table, source, {}, options);
  if (count != nullptr) *count = met;
  std::map<std::string, std::string> out;
  for (int i = 1; i <= table->FileCount; ++i) {
    const analysis::TFileName& e = (*table)[i];
    out[e.Directory.substr(site.Dir().size()) + e.Name] =
        e.Unused ? "unused" : analysis::UseReasonText(e);
  }
  return out;
}

// A site kept in git with a nested repository, a submodule's pointer file
// and data of other version-control systems.
void WriteRepositories(const testsupport::TempDir& site) {
  site.Write("index.cfm", "<img src=\"logo.gif\">");
  site.Write("logo.gif");
  site.Write(".git/HEAD", "ref: refs/heads/main");
  site.Write(".git/hooks/pre-commit.js", "x");  // a page by its extension: never read
  site.Write("lib/.git", "gitdir: ../.git/modules/lib");
  site.Write("lib/util.cfm", "<cfinclude template=\"helper.cfm\">");
  site.Write("vendor/tool/.hg/store/data", "x");
  site.Write("old/.svn/entries", "x");
  site.Write("old/CVS/Root", "x");
  site.Write("old/_darcs/format", "x");
  site.Write("old/.bzr/branch-format", "x");
}

TEST(Exclusion, VersionControlDataIsNeitherListedNorCountedNorRead) {
  testsupport::TempDir site;
  WriteRepositories(site);
  std::int32_t count = 0;
  const auto verdicts = RunScan(site, {}, &count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(verdicts, (std::map<std::string, std::string>{{"index.cfm", "Entry file"},
                                                          {"lib/util.cfm", "unused"},
                                                          {"logo.gif", "Named in " + site.Dir() +
                                                                           "index.cfm"}}));
  // An empty setting lists everything, as the scan always did; a name can
  // be added.
  analysis::TScanOptions all;
  all.ExcludedNames.clear();
  EXPECT_EQ(RunScan(site, all).size(), 11u);
  analysis::TScanOptions more;
  more.ExcludedNames.push_back("lib");
  EXPECT_EQ(RunScan(site, more).count("lib/util.cfm"), 0u);
  EXPECT_EQ(analysis::SplitExcludeDirs(" .git ;; CVS;"), (std::vector<std::string>{".git", "CVS"}));
}

TEST(Exclusion, KeepListKeepsFilesAndFoldersYetReadsTheKeptPages) {
  testsupport::TempDir site;
  site.Write("index.cfm", "x");
  site.Write("a.gif");
  site.Write("b.gif");
  site.Write("inc/needed.cfm", "x");
  site.Write("admin/page.cfm", "<cfinclude template=\"../inc/needed.cfm\">");
  site.Write("admin/old.gif");
  site.Write(".quilmereignore", "# kept\r\n*.gif\r\n!b.gif\r\nadmin/\r\n");
  EXPECT_EQ(RunScan(site), (std::map<std::string, std::string>{
                           {".quilmereignore", "The project's keep list"},
                           {"a.gif", "Kept by .quilmereignore line 2"},
                           {"b.gif", "unused"},
                           {"index.cfm", "Entry file"},
                           {"inc/needed.cfm", "Named in " + site.Dir() + "admin/page.cfm"}}));

  // Another list named on the command line replaces it.
  testsupport::TempDir elsewhere;
  analysis::TScanOptions options;
  options.KeepListPath = elsewhere.Write("keep", "/b.gif\n");
  const auto verdicts = RunScan(site, options);
  EXPECT_EQ(verdicts.at("b.gif"), "Kept by keep line 1");
  EXPECT_EQ(verdicts.at("a.gif"), "unused");
  EXPECT_EQ(verdicts.at("admin/old.gif"), "unused");
}

TEST(Exclusion, AKeepListThatCannotBeReadStopsTheRunBeforeTheTableChanges) {
  testsupport::TempDir site;
  site.Write("a.gif");
  analysis::TFileTable table;
  table.Append("previous.gif", "/old/");
  testsupport::SortedSource source;
  for (const std::string& text : {std::string(analysis::KeepListMaxBytes + 1, '#'),
                                  std::string(analysis::KeepListMaxLines + 1, '\n')}) {
    site.Write(".quilmereignore", text);
    try {
      analysis::ScanAndAnalyze(site.Dir(), table, source, {});
      ADD_FAILURE() << "the run went on";
    } catch (const analysis::KeepListError& e) {
      EXPECT_NE(std::string(e.what()).find(site.Dir() + ".quilmereignore"), std::string::npos);
    }
    EXPECT_EQ(table.FileCount, 1);
  }
}

TEST(Exclusion, AlwaysKeepAppendsAnchoredLinesOrLeavesTheListAsItWas) {
  testsupport::TempDir site;
  const std::string list = site.Write(".quilmereignore", "# mine\n*.bak");  // no final line feed
  EXPECT_EQ(analysis::AppendToKeepList(list, {"img/a b.gif", " x#[1].gif"}), 3);
  std::ifstream in(list, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "# mine\n*.bak\n/img/a b.gif\n/\\ x\\#\\[1\\].gif\n");
  const analysis::TKeepList parsed = analysis::TKeepList::Parse(text.str(), list);
  EXPECT_EQ(parsed.Match(" x#[1].gif", false), 4);

  // Past the budget nothing is written.
  const std::vector<std::string> many(analysis::KeepListMaxLines, "f.gif");
  EXPECT_THROW(analysis::AppendToKeepList(list, many), analysis::KeepListError);
  EXPECT_EQ(fs::file_size(list), text.str().size());
  // A list that cannot be replaced (immutable, so even root cannot rename
  // over it) stays as it was, and no temporary file is left beside it.
  if (std::system(("chattr +i '" + list + "' 2>/dev/null").c_str()) == 0) {
    EXPECT_THROW(analysis::AppendToKeepList(list, {"b.gif"}), analysis::KeepListError);
    std::system(("chattr -i '" + list + "'").c_str());
    EXPECT_EQ(fs::file_size(list), text.str().size());
    EXPECT_EQ(std::distance(fs::directory_iterator(site.Dir()), fs::directory_iterator()), 1);
  }
  // A folder that cannot be written: no list, no temporary file.
  EXPECT_THROW(analysis::AppendToKeepList(site.Dir() + "missing/.quilmereignore", {"a"}),
               analysis::KeepListError);
  EXPECT_EQ(std::distance(fs::directory_iterator(site.Dir()), fs::directory_iterator()), 1);
}

}  // namespace

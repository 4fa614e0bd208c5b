#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/ProcessCommand.h"
#include "tests/support/SortedSource.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using testsupport::SortedSource;

struct Outcome {
  std::unique_ptr<analysis::TFileTable> table = std::make_unique<analysis::TFileTable>();
  std::int32_t count = 0;
  // Unused verdict by name (the last entry of that name wins).
  std::map<std::string, int> unused;
};

Outcome Process(const std::string& dir) {
  Outcome run;
  SortedSource source;
  run.count = analysis::ScanAndAnalyze(dir, *run.table, source, {});
  for (int i = 1; i <= run.table->FileCount; ++i) {
    run.unused[(*run.table)[i].Name] = (*run.table)[i].Unused;
  }
  return run;
}

std::string Name(int i) {
  char name[16];
  snprintf(name, sizeof name, "f%04d", i);
  return name;
}

TEST(UnlistedPages, PagePastTheTableStillNamesAStoredFile) {
  testsupport::TempDir site;
  for (int i = 0; i < 1200; ++i) {
    if (i != 1099) site.Write(Name(i) + ".gif");
  }
  site.Write(Name(1099) + ".cfm", "<img src=\"" + Name(4) + ".gif\">");
  const Outcome run = Process(site.Dir());
  EXPECT_EQ(run.count, 1200);
  ASSERT_EQ(run.table->FileCount, 1000);
  EXPECT_EQ((*run.table)[5].Name, Name(4) + ".gif");
  EXPECT_EQ(run.unused.at(Name(4) + ".gif"), 0);
  EXPECT_EQ(run.unused.at(Name(5) + ".gif"), 1);
}

TEST(UnlistedPages, PagesBehindLinkedDirectoriesCountAndCyclesEnd) {
  testsupport::TempDir tmp;
  tmp.Write("shared/header.cfm", "<img src=\"banner.gif\"> <cf_menu>");
  tmp.Write("shared/deeper/nav.inc", "logo.png");
  tmp.Write("site/banner.gif");
  tmp.Write("site/logo.png");
  tmp.Write("site/menu.cfm");
  tmp.Write("site/old.gif");
  fs::create_directory_symlink("../shared", tmp.Dir() + "site/inc");
  fs::create_directory_symlink("..", tmp.Dir() + "site/loop");       // back to the site
  fs::create_directory_symlink("../..", tmp.Dir() + "shared/deeper/up");  // above it
  const Outcome run = Process(tmp.Dir() + "site/");
  // The table and the count stay as the scan lists them: links are not files.
  EXPECT_EQ(run.count, 4);
  EXPECT_EQ(run.unused, (std::map<std::string, int>{
                            {"banner.gif", 0}, {"logo.png", 0}, {"menu.cfm", 0}, {"old.gif", 1}}));
}

// Links that lead out of the project are followed within a budget of
// entries and page bytes; past it the run goes on without the rest, says
// so, and leaves nothing checked, since a page left unread might name any
// file. Links within the project cost nothing of it.
TEST(UnlistedPages, LinksOutOfTheProjectAreFollowedWithinABudget) {
  testsupport::TempDir tmp;
  for (int i = 0; i < 20; ++i) tmp.Write("outside/f" + std::to_string(i) + ".gif");
  tmp.Write("outside/header.cfm", "banner.gif");  // 10 bytes
  tmp.Write("site/banner.gif");
  tmp.Write("site/old.gif");
  tmp.Write("site/inner/nav.cfm", "plain");
  fs::create_directory_symlink("../outside", tmp.Dir() + "site/shared");
  fs::create_directory_symlink("inner", tmp.Dir() + "site/again");

  struct Case {
    std::size_t entries;
    std::uint64_t bytes;
    bool cut;
  };
  for (const Case c : {Case{21, 10, false}, Case{20, 10, true}, Case{21, 9, true}}) {
    SCOPED_TRACE(std::to_string(c.entries) + " entries, " + std::to_string(c.bytes) + " bytes");
    analysis::TScanOptions options;
    options.OutsideLinks = {c.entries, c.bytes};
    bool warned = false;
    analysis::TProcessHooks hooks;
    hooks.WarnOutsideCut = [&warned] { warned = true; };
    auto table = std::make_unique<analysis::TFileTable>();
    SortedSource source;
    analysis::ScanAndAnalyze(tmp.Dir() + "site/", *table, source, hooks, options);
    EXPECT_EQ(warned, c.cut);
    std::map<std::string, std::pair<int, int>> flags;  // name: unused, checked
    for (int i = 1; i <= table->FileCount; ++i) {
      flags[(*table)[i].Name] = {(*table)[i].Unused, (*table)[i].Checked};
    }
    const std::pair<int, int> old = c.cut ? std::pair(1, 0) : std::pair(1, 1);
    const std::pair<int, int> banner = c.cut ? std::pair(1, 0) : std::pair(0, 0);
    EXPECT_EQ(flags, (std::map<std::string, std::pair<int, int>>{
                         {"banner.gif", banner}, {"old.gif", old}, {"nav.cfm", {1, 0 + !c.cut}}}));
  }

  // A link to the root of the file system: the walk ends within the budget.
  // Out there a page that is a link into /proc is left out like the rest,
  // not read (nor an error that would end the run).
  fs::create_directory_symlink("/", tmp.Dir() + "site/r");
  fs::create_directory(tmp.Dir() + "elsewhere");
  fs::create_symlink("/proc/self/pagemap", tmp.Dir() + "elsewhere/x.js");
  fs::create_directory_symlink("../elsewhere", tmp.Dir() + "site/q");
  std::vector<std::string> warnings;
  analysis::TProcessHooks hooks;
  hooks.WarnOutsideCut = [&warnings] { warnings.push_back("cut"); };
  auto table = std::make_unique<analysis::TFileTable>();
  SortedSource source;
  analysis::ScanAndAnalyze(tmp.Dir() + "site/", *table, source, hooks);
  EXPECT_EQ(warnings, std::vector<std::string>{"cut"});
  for (int i = 1; i <= table->FileCount; ++i) EXPECT_EQ((*table)[i].Checked, 0);
}

// Removes a chain of single directories from the bottom up, without holding
// one descriptor per level.
void RemoveChain(const std::string& top, const std::string& step, int depth) {
  std::string path = top;
  for (int i = 0; i < depth; ++i) path += step;
  for (int i = 0; i < depth; ++i) {
    fs::remove_all(path);
    path.resize(path.size() - step.size());
  }
}

TEST(UnlistedPages, DeepTreeUnderALowDescriptorLimitLosesNothing) {
  constexpr int kDepth = 1500;
  testsupport::TempDir site;
  site.Write("top.gif");
  site.Write("old.gif");
  std::string deep = site.Dir();
  for (int i = 0; i < kDepth; ++i) {
    deep += "d/";
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0) << "level " << i;
  }
  testsupport::TempDir::WriteFile(deep + "page.cfm", "top.gif");

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 256;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  const Outcome run = Process(site.Dir());
  setrlimit(RLIMIT_NOFILE, &saved);
  RemoveChain(site.Dir(), "d/", kDepth);

  EXPECT_EQ(run.count, 3);
  EXPECT_EQ(run.unused, (std::map<std::string, int>{
                            {"page.cfm", 0}, {"top.gif", 0}, {"old.gif", 1}}));
}

}  // namespace

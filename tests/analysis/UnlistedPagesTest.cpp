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

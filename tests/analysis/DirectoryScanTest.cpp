#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "analysis/DirectoryScan.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using analysis::TFileTable;
using platform::DirEntry;

namespace {

// Listings exactly as the test lays them out, in the order given; records
// which directories were opened.
class ScriptedSource : public platform::DirectorySource {
 public:
  std::map<std::string, std::vector<DirEntry>> dirs;
  std::vector<std::string> opened;

  std::unique_ptr<platform::DirectoryListing> Open(const std::string& dir) override {
    opened.push_back(dir);
    auto it = dirs.find(dir);
    if (it == dirs.end()) return nullptr;
    return std::make_unique<Listing>(it->second);
  }

  void File(const std::string& dir, const std::string& name,
            std::uint32_t attr = platform::faArchive) {
    Ensure(dir).push_back({name, attr});
  }
  void Dir(const std::string& dir, const std::string& name) {
    Ensure(dir).push_back({name, platform::faDirectory});
    Ensure(dir + name + "/");
  }

 private:
  std::vector<DirEntry>& Ensure(const std::string& dir) {
    auto [it, fresh] = dirs.try_emplace(dir);
    if (fresh) {
      it->second.push_back({".", platform::faDirectory});
      it->second.push_back({"..", platform::faDirectory});
    }
    return it->second;
  }

  class Listing : public platform::DirectoryListing {
   public:
    explicit Listing(const std::vector<DirEntry>& entries) : entries_(entries) {}
    bool Next(DirEntry& entry) override {
      if (next_ == entries_.size()) return false;
      entry = entries_[next_++];
      return true;
    }

   private:
    const std::vector<DirEntry>& entries_;
    std::size_t next_ = 0;
  };
};

class ScanTest : public testing::Test {
 protected:
  std::int32_t Scan(const std::string& dir) {
    return analysis::ScanDirectory(dir, *table, source, [this] { ++pumps; });
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    for (int i = 1; i <= table->FileCount; ++i) out.push_back((*table)[i].Directory + (*table)[i].Name);
    return out;
  }

  std::unique_ptr<TFileTable> table = std::make_unique<TFileTable>();
  ScriptedSource source;
  int pumps = 0;
};

TEST_F(ScanTest, EmptyDirectoryGivesNothing) {
  source.dirs["/site/"];
  EXPECT_EQ(Scan("/site/"), 0);
  EXPECT_EQ(table->FileCount, 0);
}

TEST_F(ScanTest, DepthFirstWithSubdirectoryFilesAtTheirPlace) {
  source.File("/s/", "a.cfm");
  source.Dir("/s/", "inc");
  source.File("/s/inc/", "menu.cfm");
  source.Dir("/s/inc/", "deeper");
  source.File("/s/inc/deeper/", "x.gif");
  source.File("/s/inc/", "footer.inc");
  source.File("/s/", "z.css");
  EXPECT_EQ(Scan("/s/"), 5);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/s/a.cfm", "/s/inc/menu.cfm",
                                               "/s/inc/deeper/x.gif", "/s/inc/footer.inc",
                                               "/s/z.css"}));
  EXPECT_EQ(pumps, 2);  // once per subdirectory, not per file
  EXPECT_EQ((*table)[2].TagName, "cf_menu");
}

TEST_F(ScanTest, DirectoryNamedLikeAPageLeavesNoEntry) {
  source.Dir("/s/", "pages.cfm");
  source.File("/s/pages.cfm/", "inner.cfm");
  EXPECT_EQ(Scan("/s/"), 1);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/s/pages.cfm/inner.cfm"}));
}

TEST_F(ScanTest, EntriesWithoutAttributeBitsArePassedOver) {
  source.File("/s/", "fifo", 0);
  source.File("/s/", ".hidden", platform::faArchive | platform::faHidden);
  source.File("/s/", "system", platform::faSysFile);
  source.File("/s/", "readonly", platform::faReadOnly);
  EXPECT_EQ(Scan("/s/"), 3);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/s/.hidden", "/s/system", "/s/readonly"}));
}

TEST_F(ScanTest, UnlistableDirectoryCountsZero) {
  source.File("/s/", "a.htm");
  source.dirs["/s/"].push_back({"locked", platform::faDirectory});  // Open fails
  source.File("/s/", "b.htm");
  EXPECT_EQ(Scan("/s/"), 2);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"/s/a.htm", "/s/b.htm"}));
}

TEST_F(ScanTest, ExactlyAThousandFilesFitWithoutOverflow) {
  for (int i = 0; i < 600; ++i) source.File("/s/", "a" + std::to_string(i));
  source.Dir("/s/", "sub");
  for (int i = 0; i < 400; ++i) source.File("/s/sub/", "b" + std::to_string(i));
  EXPECT_EQ(Scan("/s/"), 1000);
  EXPECT_EQ(table->FileCount, 1000);
}

TEST_F(ScanTest, DirectoryAfterTheThousandthFileCountsOneAndIsNotOpened) {
  for (int i = 0; i < 1000; ++i) source.File("/s/", "f" + std::to_string(i));
  source.Dir("/s/", "empty");
  EXPECT_EQ(Scan("/s/"), 1001);
  EXPECT_EQ(table->FileCount, 1000);
  EXPECT_EQ(source.opened, (std::vector<std::string>{"/s/"}));
}

TEST_F(ScanTest, OverflowStoresTheFirstThousandInScanOrder) {
  source.Dir("/s/", "one");
  for (int i = 0; i < 700; ++i) source.File("/s/one/", "x" + std::to_string(i));
  source.Dir("/s/", "two");
  for (int i = 0; i < 700; ++i) source.File("/s/two/", "y" + std::to_string(i));
  source.Dir("/s/", "three");  // met when full: counted, never opened
  source.File("/s/three/", "never");
  EXPECT_EQ(Scan("/s/"), 1401);
  EXPECT_EQ(table->FileCount, 1000);
  EXPECT_EQ((*table)[700].Name, "x699");
  EXPECT_EQ((*table)[701].Name, "y0");
  EXPECT_EQ((*table)[1000].Name, "y299");
  EXPECT_EQ(std::count(source.opened.begin(), source.opened.end(), "/s/three/"), 0);
}

// The same rules on the real file system.
// A scripted source that can hand a twin to a helper thread (a copy of its
// listings), and refuses one folder.
class TwinSource : public ScriptedSource {
 public:
  std::string refused;
  std::unique_ptr<platform::DirectoryListing> Open(const std::string& dir) override {
    if (dir == refused) throw platform::IoError(platform::IoErrorText(EACCES), dir);
    return ScriptedSource::Open(dir);
  }
  std::unique_ptr<platform::DirectorySource> Twin() const override {
    auto twin = std::make_unique<TwinSource>();
    twin->dirs = dirs;
    twin->refused = refused;
    return twin;
  }
};

// With a helper listing ahead, the scan gives what it gives on one thread:
// the same files in the same order, the same count past a full table, the
// excluded folders left out, and a refused folder's failure where the scan
// meets it, after the same files.
TEST(ScanWithHelper, GivesWhatOneThreadGives) {
  TwinSource twin;
  for (int a = 0; a < 6; ++a) {
    const std::string da = "/s/d" + std::to_string(a) + "/";
    twin.Dir("/s/", "d" + std::to_string(a));
    twin.Dir(da, ".git");
    twin.File(da + ".git/", "HEAD");
    for (int b = 0; b < 5; ++b) {
      twin.Dir(da, "e" + std::to_string(b));
      for (int f = 0; f < 40; ++f) twin.File(da + "e" + std::to_string(b) + "/", "f" + std::to_string(f));
    }
    twin.File(da, "page.cfm");
  }
  // The same listings without a twin: one thread.
  struct OneThread : TwinSource {
    std::unique_ptr<platform::DirectorySource> Twin() const override { return nullptr; }
  } one;
  one.dirs = twin.dirs;
  const analysis::TScanFilter filter("/s/", {".git"}, analysis::TKeepList());
  struct Outcome {
    std::int32_t count = -1;
    std::vector<std::string> paths;
    std::string failed;
  };
  const auto scan = [&](platform::DirectorySource& source, std::int32_t capacity) {
    TFileTable table(capacity);
    Outcome out;
    try {
      out.count = analysis::ScanDirectory("/s/", table, source, nullptr, nullptr, filter);
    } catch (const platform::IoError& e) {
      out.failed = e.Path();
    }
    for (int i = 1; i <= table.FileCount; ++i) out.paths.push_back(table[i].Directory + table[i].Name);
    return out;
  };
  for (const char* refused : {"", "/s/d3/e2/"}) {
    twin.refused = one.refused = refused;
    for (const std::int32_t capacity : {analysis::NoFileLimit, std::int32_t{1000}}) {
      SCOPED_TRACE(std::string(refused) + " capacity " + std::to_string(capacity));
      const Outcome helped = scan(twin, capacity), single = scan(one, capacity);
      EXPECT_EQ(helped.count, single.count);
      EXPECT_EQ(helped.paths, single.paths);
      EXPECT_EQ(helped.failed, single.failed);
      EXPECT_EQ(helped.failed, refused);
    }
  }
}

TEST(ScanRealTree, ListsRealFilesAndSurvivesALinkCycle) {
  testsupport::TempDir tmp;
  tmp.Write("index.cfm");
  tmp.Write(".htaccess");
  tmp.Write("inc/header.cfm");
  tmp.Write("empty/.keep");
  fs::remove(tmp.Dir() + "empty/.keep");
  mkfifo((tmp.Dir() + "pipe").c_str(), 0600);
  fs::create_symlink(tmp.Dir() + "gone", tmp.Dir() + "dangling");
  fs::create_symlink(tmp.Dir() + "index.cfm", tmp.Dir() + "alias.cfm");
  fs::create_directory_symlink(tmp.Dir(), tmp.Dir() + "inc/loop");  // a cycle

  auto table = std::make_unique<TFileTable>();
  platform::PosixDirectorySource source;
  const std::int32_t count = analysis::ScanDirectory(tmp.Dir(), *table, source, nullptr);
  std::set<std::string> paths;
  for (int i = 1; i <= table->FileCount; ++i) paths.insert((*table)[i].Directory + (*table)[i].Name);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(paths, (std::set<std::string>{tmp.Dir() + "index.cfm", tmp.Dir() + ".htaccess",
                                          tmp.Dir() + "alias.cfm",
                                          tmp.Dir() + "inc/header.cfm"}));
}

TEST(ScanRealTree, MissingDirectoryCountsZero) {
  auto table = std::make_unique<TFileTable>();
  platform::PosixDirectorySource source;
  EXPECT_EQ(analysis::ScanDirectory("/nonexistent-quilmere/", *table, source, nullptr), 0);
  EXPECT_EQ(table->FileCount, 0);
}

}  // namespace

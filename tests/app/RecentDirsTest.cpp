#include <gtest/gtest.h>

#include <map>

#include "app/RecentDirs.h"

namespace {

// A key in memory that records every write.
class MemoryKey : public platform::RegistryKey {
 public:
  std::map<std::string, std::string> strings;
  std::vector<std::string> writes;

  std::int32_t ReadInteger(const std::string& name) override {
    throw platform::RegistryError("no integer " + name);
  }
  bool HasValue(const std::string& name) override { return strings.count(name) != 0; }
  std::string ReadString(const std::string& name) override {
    auto it = strings.find(name);
    return it == strings.end() ? std::string() : it->second;
  }
  void WriteInteger(const std::string&, std::int32_t) override {}
  void WriteString(const std::string& name, const std::string& value) override {
    writes.push_back(name);
    strings[name] = value;
  }
  void Close() override {}

  std::vector<std::string> List() const {
    std::vector<std::string> out;
    for (int n = 1; n <= 12; ++n) {
      auto it = strings.find(app::RecentDirName(n));
      out.push_back(it == strings.end() ? "" : it->second);
    }
    return out;
  }
  void Fill(int count) {
    for (int n = 1; n <= count; ++n) strings[app::RecentDirName(n)] = "/d" + std::to_string(n) + "/";
  }
};

std::vector<std::string> Expect(std::initializer_list<std::string> first) {
  std::vector<std::string> out(first);
  out.resize(12);
  return out;
}

TEST(RecentDirs, NewDirectoryGoesOnTopOfAnEmptyList) {
  MemoryKey key;
  EXPECT_TRUE(app::UpdateRecentDirs(key, "/site/"));
  EXPECT_EQ(key.List(), Expect({"/site/"}));
}

TEST(RecentDirs, SameDirectoryTwiceOnlyTakesTheNewLetterCase) {
  MemoryKey key;
  app::UpdateRecentDirs(key, "/Site/");
  app::UpdateRecentDirs(key, "/other/");
  EXPECT_FALSE(app::UpdateRecentDirs(key, "/other/"));
  EXPECT_FALSE(app::UpdateRecentDirs(key, "/OTHER/"));
  EXPECT_EQ(key.List(), Expect({"/OTHER/", "/Site/"}));
  // With and without the trailing delimiter are two directories.
  EXPECT_TRUE(app::UpdateRecentDirs(key, "/Site"));
}

TEST(RecentDirs, EleventhDirectoryPushesTheOldestOut) {
  MemoryKey key;
  for (int i = 1; i <= 11; ++i) app::UpdateRecentDirs(key, "/d" + std::to_string(i) + "/");
  EXPECT_EQ(key.List(), Expect({"/d11/", "/d10/", "/d9/", "/d8/", "/d7/", "/d6/", "/d5/", "/d4/",
                                "/d3/", "/d2/"}));
  for (const std::string& name : key.writes) EXPECT_NE(name, "MRU11");
}

TEST(RecentDirs, DirectoryInTheMiddleMovesUpAndTheRestStay) {
  MemoryKey key;
  key.Fill(10);
  EXPECT_FALSE(app::UpdateRecentDirs(key, "/D5/"));
  EXPECT_EQ(key.List(), Expect({"/D5/", "/d1/", "/d2/", "/d3/", "/d4/", "/d6/", "/d7/", "/d8/",
                                "/d9/", "/d10/"}));
}

TEST(RecentDirs, SearchStopsAtTheFirstBlankSlot) {
  MemoryKey key;
  key.strings = {{"MRU1", "/a/"}, {"MRU2", "   "}, {"MRU3", "/c/"}};
  // /c/ lies beyond the gap, so it counts as new: it is listed again.
  EXPECT_TRUE(app::UpdateRecentDirs(key, "/c/"));
  EXPECT_EQ(key.List(), Expect({"/c/", "/a/", "/c/"}));
}

TEST(RecentDirs, RegistryErrorsReachTheCaller) {
  class BrokenKey : public MemoryKey {
    void WriteString(const std::string&, const std::string&) override {
      throw platform::RegistryError("Failed to set data for 'MRU1'");
    }
  } key;
  EXPECT_THROW(app::UpdateRecentDirs(key, "/site/"), platform::RegistryError);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/FileTable.h"

namespace {

struct TagCase {
  const char* name;
  const char* tag;
};

void PrintTo(const TagCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class TagNameTest : public testing::TestWithParam<TagCase> {};

TEST_P(TagNameTest, FollowsTheCfmSuffixInAnyCase) {
  EXPECT_EQ(analysis::MakeTagName(GetParam().name), GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(Names, TagNameTest,
                         testing::Values(TagCase{"Header.CFM", "cf_Header"},
                                         TagCase{"MENU.CFM", "cf_MENU"},
                                         TagCase{"page.cfm", "cf_page"},
                                         TagCase{"page.cFm", "cf_page"},
                                         TagCase{".cfm", "cf_"},
                                         TagCase{"page.cfml", ""},
                                         TagCase{"cfm", ""},
                                         TagCase{"xcfm", ""},
                                         TagCase{"a.cfm.bak", ""},
                                         TagCase{"", ""}));

TEST(FileTable, AppendStoresBothFlagsUntilFull) {
  auto table = std::make_unique<analysis::TFileTable>();
  for (int i = 1; i <= analysis::MaxFiles; ++i) {
    ASSERT_TRUE(table->Append("f" + std::to_string(i) + ".cfm", "/site/"));
  }
  EXPECT_FALSE(table->Append("overflow", "/site/"));
  EXPECT_EQ(table->FileCount, analysis::MaxFiles);
  const analysis::TFileName& last = (*table)[analysis::MaxFiles];
  EXPECT_EQ(last.Name, "f1000.cfm");
  EXPECT_EQ(last.TagName, "cf_f1000");
  EXPECT_EQ(last.NameLength, 9);
  EXPECT_EQ(last.Directory, "/site/");
  EXPECT_EQ(last.Checked, 1);
  EXPECT_EQ(last.Unused, 1);

  table->MarkUsed(3);
  EXPECT_EQ((*table)[3].Checked, 0);
  EXPECT_EQ((*table)[3].Unused, 0);

  // Reset keeps the contents; the next append overwrites slot 1.
  table->Reset();
  EXPECT_EQ(table->FileCount, 0);
  EXPECT_EQ((*table)[2].Name, "f2.cfm");
  table->Append("new", "/other/");
  EXPECT_EQ((*table)[1].Name, "new");
  EXPECT_EQ((*table)[1].TagName, "");
}

struct CapacityCase {
  std::int32_t asked, capacity;
};

class TableCapacity : public testing::TestWithParam<CapacityCase> {};

// Storage follows the entries appended, never the capacity; slots stay
// through a Reset for the entries left above FileCount.
TEST_P(TableCapacity, HoldsUpToItsCapacityAndGrowsWithTheEntries) {
  analysis::TFileTable table(GetParam().asked);
  EXPECT_EQ(table.Capacity(), GetParam().capacity);
  EXPECT_EQ(table.SlotCount(), 0);
  const int appended = std::min(GetParam().capacity, 5);
  for (int i = 1; i <= appended; ++i) ASSERT_TRUE(table.Append("f" + std::to_string(i), "/"));
  EXPECT_EQ(table.Full(), appended == GetParam().capacity);
  EXPECT_EQ(table.Append("more", "/"), appended < GetParam().capacity);
  const std::int32_t stored = table.FileCount;
  EXPECT_EQ(table.SlotCount(), stored);
  table.Reset();
  table.Append("again", "/");
  EXPECT_EQ(table.SlotCount(), stored);
  EXPECT_EQ(table[1].Name, "again");
}

INSTANTIATE_TEST_SUITE_P(Sizes, TableCapacity,
                         testing::Values(CapacityCase{0, 2147483647}, CapacityCase{1, 1},
                                         CapacityCase{3, 3}, CapacityCase{1000, 1000}));

}  // namespace

#include <gtest/gtest.h>

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

}  // namespace

#include <gtest/gtest.h>

#include <random>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "results/Deletion.h"
#include "results/RowSearch.h"

namespace {

// Against a plain filter over many random tables: the kept entries are
// exactly the unchecked ones and the checked ones whose files could not be
// deleted (still checked), in order, with every field intact, and only
// checked files are ever handed to the deletion.
TEST(Deletion, MatchesAPlainFilterOverRandomTables) {
  std::mt19937 random(7);
  auto table = std::make_unique<analysis::TFileTable>();
  for (int round = 0; round < 300; ++round) {
    const int count = static_cast<int>(random() % 40);
    table->Reset();
    std::vector<analysis::TFileName> expectKept;
    std::set<std::string> expectDeleted;
    std::set<std::string> refused;
    int expectFailed = 0;
    for (int i = 1; i <= count; ++i) {
      table->Append("n" + std::to_string(i) + ".cfm", "/d" + std::to_string(i % 3) + "/");
      analysis::TFileName& entry = (*table)[i];
      entry.Unused = static_cast<std::uint8_t>(random() % 2);
      entry.Checked = static_cast<std::uint8_t>(random() % 2);
      entry.CheckRect = {i, i + 1, i + 2, i + 3};
      const bool refuse = random() % 4 == 0;
      if (entry.Checked) expectDeleted.insert(entry.Directory + entry.Name);
      if (entry.Checked && refuse) {
        refused.insert(entry.Directory + entry.Name);
        ++expectFailed;
      }
      if (!entry.Checked || refuse) expectKept.push_back(entry);
    }
    std::set<std::string> deleted;
    const auto result = results::DeleteCheckedEntries(*table, [&](const analysis::TFileName& e) {
      const std::string path = e.Directory + e.Name;
      EXPECT_TRUE(deleted.insert(path).second) << "deleted twice: " << path;
      return refused.count(path) == 0;
    });
    ASSERT_EQ(deleted, expectDeleted);
    ASSERT_EQ(result.Failed, expectFailed);
    ASSERT_EQ(result.Deleted, static_cast<int>(expectDeleted.size()) - expectFailed);
    ASSERT_EQ(table->FileCount, static_cast<int>(expectKept.size()));
    for (int i = 1; i <= table->FileCount; ++i) {
      const analysis::TFileName& got = (*table)[i];
      const analysis::TFileName& want = expectKept[i - 1];
      ASSERT_EQ(got.Name, want.Name);
      ASSERT_EQ(got.TagName, want.TagName);
      ASSERT_EQ(got.Directory, want.Directory);
      ASSERT_EQ(got.Unused, want.Unused);
      ASSERT_EQ(got.Checked, want.Checked);
      ASSERT_EQ(got.CheckRect.Left, want.CheckRect.Left);
    }
  }
}

TEST(Deletion, CheckCommandsStayInsideTheirRows) {
  auto table = std::make_unique<analysis::TFileTable>();
  for (int i = 1; i <= 5; ++i) table->Append("f" + std::to_string(i), "/");
  table->MarkUsed(2);
  results::ApplyCheckCommand(*table, 2, 4, results::CheckCommand::UncheckAll);
  results::ApplyCheckCommand(*table, 4, 3, results::CheckCommand::CheckAll);  // empty range
  std::string checks;
  for (int i = 1; i <= 5; ++i) checks += static_cast<char>('0' + (*table)[i].Checked);
  EXPECT_EQ(checks, "10001");
  results::ApplyCheckCommand(*table, 1, 5, results::CheckCommand::Restore);
  checks.clear();
  for (int i = 1; i <= 5; ++i) checks += static_cast<char>('0' + (*table)[i].Checked);
  EXPECT_EQ(checks, "10111");
}

}  // namespace

namespace {

// Rows whose entries carry these paths, row r = entry r.
std::unique_ptr<analysis::TFileTable> PathTable(const std::vector<std::pair<std::string, std::string>>& paths) {
  auto table = std::make_unique<analysis::TFileTable>();
  for (const auto& [dir, name] : paths) table->Append(name, dir);
  return table;
}

TEST(RowSearch, FindsTheNextShownRowWhosePathHoldsTheText) {
  const auto table = PathTable({{"/site/Admin/", "a.cfm"},
                                {"/site/img/", "LOGO.gif"},
                                {"/site/admin/", "b.cfm"},
                                {"/site/", "caf\xc3\xa9.gif"}});
  EXPECT_EQ(results::FindRow(*table, 4, 1, "admin"), 1);
  EXPECT_EQ(results::FindRow(*table, 4, 2, "ADMIN"), 3);
  EXPECT_EQ(results::FindRow(*table, 4, 4, "admin"), 1);      // wraps round
  EXPECT_EQ(results::FindRow(*table, 4, 1, "img/logo"), 2);   // across directory and name
  EXPECT_EQ(results::FindRow(*table, 4, 1, "CAF\xc3\x89"), 0);  // ASCII letters only fold
  EXPECT_EQ(results::FindRow(*table, 4, 1, "caf\xc3\xa9"), 4);
  EXPECT_EQ(results::FindRow(*table, 4, 1, ""), 0);
  EXPECT_EQ(results::FindRow(*table, 2, 3, "b.cfm"), 0);      // beyond the rows shown
  const results::RowShown notOne = [](std::int32_t r) { return r != 1; };
  EXPECT_EQ(results::FindRow(*table, 4, 4, "admin", notOne), 3);
}

TEST(RowSearch, CheckCommandsLeaveHiddenRowsAlone) {
  auto table = PathTable({{"/", "f1"}, {"/", "f2"}, {"/", "f3"}, {"/", "f4"}});
  for (int r = 1; r <= 4; ++r) (*table)[r].Checked = 0;
  results::ApplyCheckCommand(*table, 1, 4, results::CheckCommand::CheckAll,
                             [](std::int32_t r) { return r % 2 == 1; });
  std::string checks;
  for (int i = 1; i <= 4; ++i) checks += static_cast<char>('0' + (*table)[i].Checked);
  EXPECT_EQ(checks, "1010");
}

}  // namespace

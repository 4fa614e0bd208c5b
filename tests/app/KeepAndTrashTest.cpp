#include <gtest/gtest.h>

#include <QAction>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "analysis/FileTable.h"
#include "analysis/UseReason.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
#include "tests/support/WindowFixture.h"

using analysis::FileTable;
namespace fs = std::filesystem;

namespace {

// The window's keep list, Trash mode, restore and checked count, on a small
// site kept in git.
class KeepAndTrashTest : public testsupport::WindowFixture {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    site.Write("index.cfm", "<img src=\"logo.gif\">");
    site.Write("logo.gif", "GIF89a");
    site.Write("old.gif", "GIF89a-old");           // 10 bytes
    site.Write("img/older.png", "PNG-older-01");   // 12 bytes
    site.Write(".git/HEAD", "ref: refs/heads/main\n");
    site.Write(".git/objects/ab/cdef", "blob");
    site.Write("lib/sub/.git", "gitdir: ../../.git/modules/sub\n");
  }
  std::string Status(int panel = platform::StatusBar::MessagePanel) const {
    return window->StatusBar1->PanelText(panel).toStdString();
  }
  // Checked state by path relative to the site.
  std::map<std::string, int> Checks() const {
    std::map<std::string, int> out;
    for (int r = 1; r <= FileTable.FileCount; ++r) {
      out[FileTable[r].Directory.substr(site.Dir().size()) + FileTable[r].Name] =
          FileTable[r].Checked;
    }
    return out;
  }
  int RowOf(const std::string& name) const {
    for (int r = 1; r <= FileTable.FileCount; ++r) {
      if (FileTable[r].Name == name) return r;
    }
    return 0;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  testsupport::TempDir site;
};

TEST_F(KeepAndTrashTest, VersionControlDataIsNeverListedAndTheCountFollowsTheChecks) {
  Process(site.Dir());
  EXPECT_EQ(Checks(), (std::map<std::string, int>{
                          {"index.cfm", 0}, {"logo.gif", 0}, {"old.gif", 1}, {"img/older.png", 1}}));
  EXPECT_EQ(Status(), "  4 files.  ");
  EXPECT_EQ(Status(platform::StatusBar::CountPanel), "  2 checked, 22 bytes  ");
  window->StringGrid1->SelectRows(1, FileTable.FileCount);
  window->UncheckAll1->trigger();
  EXPECT_EQ(Status(platform::StatusBar::CountPanel), "  0 checked, 0 bytes  ");
}

TEST_F(KeepAndTrashTest, AlwaysKeepLastsPastTheNextRun) {
  Process(site.Dir());
  const int row = RowOf("older.png");
  window->StringGrid1->SelectRows(row, row);
  window->Alwayskeep1->trigger();
  EXPECT_EQ(Read(site.Dir() + ".quilmereignore"), "/img/older.png\n");
  EXPECT_EQ(FileTable[row].Checked, 0);
  EXPECT_EQ(analysis::UseReasonText(FileTable[row]), "Kept by .quilmereignore line 1");
  EXPECT_EQ(Status(platform::StatusBar::CountPanel), "  1 checked, 10 bytes  ");

  Process(site.Dir());
  const int again = RowOf("older.png");
  EXPECT_EQ(FileTable[again].Checked, 0);
  EXPECT_EQ(analysis::UseReasonText(FileTable[again]), "Kept by .quilmereignore line 1");
  EXPECT_EQ(FileTable[RowOf(".quilmereignore")].Checked, 0);
}

TEST_F(KeepAndTrashTest, KeepListThatCannotBeReadStopsTheRunAndKeepsTheResults) {
  Process(site.Dir());
  const std::int32_t before = FileTable.FileCount;
  fs::create_directory(site.Dir() + ".quilmereignore");  // not a file: cannot be read
  Process(site.Dir());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(site.Dir() + ".quilmereignore"), std::string::npos);
  EXPECT_EQ(FileTable.FileCount, before);
  EXPECT_EQ(Checks()["old.gif"], 1);
}

TEST_F(KeepAndTrashTest, TrashModeMovesTheFilesAndRestoreBringsThemBack) {
  EXPECT_FALSE(window->Restorelastdeletion1->isEnabled());
  window->MovetoTrash1->trigger();
  ASSERT_TRUE(window->MovetoTrash1->isChecked());
  Process(site.Dir());
  window->Delete1->trigger();
  EXPECT_EQ(Status(), "  2 files moved to the Trash.");
  const std::string trash = config.Dir() + "Trash/";
  EXPECT_TRUE(fs::exists(trash + "files/old.gif"));
  EXPECT_TRUE(fs::exists(trash + "info/older.png.trashinfo"));
  EXPECT_FALSE(fs::exists(site.Dir() + "old.gif"));
  EXPECT_EQ(Status(platform::StatusBar::CountPanel), "  0 checked, 0 bytes  ");

  // A name taken again meanwhile is never overwritten.
  site.Write("old.gif", "new");
  ASSERT_TRUE(window->Restorelastdeletion1->isEnabled());
  window->Restorelastdeletion1->trigger();
  EXPECT_EQ(Status(), "  1 file restored.  1 file could not be restored; still in the Trash.");
  EXPECT_EQ(Read(site.Dir() + "old.gif"), "new");
  EXPECT_EQ(Read(site.Dir() + "img/older.png"), "PNG-older-01");
  EXPECT_TRUE(fs::exists(trash + "files/old.gif"));
  EXPECT_EQ(Checks().count("img/older.png"), 1u);

  // The mode is kept with the settings; delete mode offers no restore.
  OpenWindow();
  EXPECT_TRUE(window->MovetoTrash1->isChecked());
  window->MovetoTrash1->trigger();
  EXPECT_FALSE(window->Restorelastdeletion1->isEnabled());
}

}  // namespace

#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>

#include <filesystem>

#include "analysis/FileTable.h"
#include "platform/FileId.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/Confirm.h"
#include "results/qt/StringGrid.h"
#include "tests/support/WindowFixture.h"

using analysis::FileTable;
namespace fs = std::filesystem;

namespace {

class CommandsTest : public testsupport::WindowFixture {
 protected:
  // Five files f1..f5 in table order; verdicts as given, checks follow.
  void MakeTable(const std::string& unused) {
    FileTable.Reset(site.Dir(), platform::IdentityOf(site.Dir()));
    for (std::size_t i = 0; i < unused.size(); ++i) {
      const std::string name = "f" + std::to_string(i + 1);
      Append(name);
      if (unused[i] == '0') FileTable.MarkUsed(static_cast<int>(i) + 1);
    }
    window->FillGrid();
  }
  void Check(const std::string& checks) {
    for (std::size_t i = 0; i < checks.size(); ++i) {
      FileTable[static_cast<int>(i) + 1].Checked = checks[i] == '1' ? 1 : 0;
    }
  }
  // Lists a file of the site as a scan would, with its identity.
  void Append(const std::string& name) {
    site.Write(name);
    FileTable.Append(name, site.Dir(), platform::IdentityOf(site.Dir() + name));
  }
  std::string Status() const { return window->StatusBar1->PanelText(0).toStdString(); }
  std::string Checks() const {
    std::string out;
    for (int r = 1; r <= FileTable.FileCount; ++r) out += FileTable[r].Checked ? '1' : '0';
    return out;
  }
  std::string Names() const {
    std::string out;
    for (int r = 1; r <= FileTable.FileCount; ++r) out += FileTable[r].Name + " ";
    return out;
  }
  std::string OnDisk() const {
    std::string out;
    for (int i = 1; i <= 8; ++i) {
      if (fs::exists(site.Dir() + "f" + std::to_string(i))) out += "f" + std::to_string(i) + " ";
    }
    return out;
  }
  testsupport::TempDir site;
};

TEST_F(CommandsTest, CheckUncheckAndRestoreActOnTheSelectedRowsOnly) {
  MakeTable("10101010");
  window->StringGrid1->SelectRows(3, 7);
  window->DeleteAll1->trigger();
  EXPECT_EQ(Checks(), "10111110");
  window->UncheckAll1->trigger();
  EXPECT_EQ(Checks(), "10000000");
  Check("01010101");  // manual changes everywhere
  window->Restoreselectedstate1->trigger();
  EXPECT_EQ(Checks(), "01101011");  // rows 3..7 back to the verdict, the rest manual
  // Unused never changes.
  for (int r = 1; r <= 8; ++r) EXPECT_EQ(FileTable[r].Unused, r % 2);
}

struct DeleteCase {
  const char* checks;
  const char* keptNames;
  const char* onDisk;
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << "checks " << c.checks; }

class DeleteTest : public CommandsTest, public testing::WithParamInterface<DeleteCase> {};

TEST_P(DeleteTest, DeletesCheckedFilesAndCompactsTheRest) {
  MakeTable("10010");
  Check(GetParam().checks);
  window->Delete1->trigger();
  EXPECT_EQ(confirmations, 1);
  EXPECT_EQ(Names(), GetParam().keptNames);
  EXPECT_EQ(OnDisk(), GetParam().onDisk);
  // Kept entries carry their own verdicts; the grid shows the kept rows.
  for (int r = 1; r <= FileTable.FileCount; ++r) {
    EXPECT_EQ(FileTable[r].Checked, 0);
    EXPECT_EQ(FileTable[r].Unused, FileTable[r].Name == "f1" || FileTable[r].Name == "f4" ? 1 : 0);
    EXPECT_EQ(window->StringGrid1->Cell(2, r).toStdString(), FileTable[r].Name);
  }
  EXPECT_EQ(window->StringGrid1->RowCount(), std::max(2, FileTable.FileCount + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Checks, DeleteTest,
    testing::Values(DeleteCase{"01100", "f1 f4 f5 ", "f1 f4 f5 "},
                    DeleteCase{"10001", "f2 f3 f4 ", "f2 f3 f4 "},
                    DeleteCase{"11111", "", ""},
                    DeleteCase{"00000", "f1 f2 f3 f4 f5 ", "f1 f2 f3 f4 f5 "}));

TEST_F(CommandsTest, CancelChangesNothing) {
  MakeTable("10010");
  window->StringGrid1->SelectRows(2, 3);
  confirmAnswer = TFrmConfirm::mrCancel;
  window->BtnDeleteClick();
  EXPECT_EQ(confirmations, 1);
  EXPECT_EQ(Checks(), "10010");
  EXPECT_EQ(OnDisk(), "f1 f2 f3 f4 f5 ");
  EXPECT_EQ(window->StringGrid1->SelectedRows(), std::make_pair(2, 3));
}

TEST_F(CommandsTest, FileThatCannotBeDeletedStaysCheckedInItsPlace) {
  MakeTable("11010");
  refuseDelete = [](const std::string& path) { return path.ends_with("/f2"); };
  window->BtnDeleteClick();
  EXPECT_EQ(Names(), "f2 f3 f5 ");
  EXPECT_EQ(Checks(), "100");
  EXPECT_EQ(OnDisk(), "f2 f3 f5 ");
  EXPECT_EQ(window->StringGrid1->Cell(2, 1).toStdString(), "f2");
  EXPECT_EQ(Status(), "  2 files deleted.  1 file could not be deleted.");
  EXPECT_TRUE(boxes.empty());
  // Both refused: the plural.
  refuseDelete = [](const std::string&) { return true; };
  MakeTable("11");
  window->BtnDeleteClick();
  EXPECT_EQ(Status(), "  0 files deleted.  2 files could not be deleted.");
}

TEST_F(CommandsTest, NameThatIsNotUtf8IsShownAndDeletedExactly) {
  const std::string latin1 = "caf\xe9.gif";     // not UTF-8
  const std::string utf8 = "caf\xc3\xa9.gif";   // the same word in UTF-8
  FileTable.Reset(site.Dir(), platform::IdentityOf(site.Dir()));
  Append(latin1);
  Append(utf8);
  FileTable[2].Checked = 0;
  window->FillGrid();
  EXPECT_FALSE(window->StringGrid1->Cell(2, 1).isEmpty());
  window->BtnDeleteClick();
  EXPECT_FALSE(fs::exists(site.Dir() + latin1));
  EXPECT_TRUE(fs::exists(site.Dir() + utf8));
  ASSERT_EQ(FileTable.FileCount, 1);
  EXPECT_EQ(FileTable[1].Name, utf8);
}

TEST_F(CommandsTest, DeleteOnAnEmptyTableAsksAndChangesNothing) {
  FileTable.Reset();
  window->FillGrid();
  window->Delete1->trigger();
  EXPECT_EQ(confirmations, 1);
  EXPECT_EQ(window->StringGrid1->RowCount(), 2);
}

}  // namespace

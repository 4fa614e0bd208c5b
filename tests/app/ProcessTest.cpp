#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "analysis/FileTable.h"
#include "platform/DirectoryListing.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
#include "tests/support/CfmlSite.h"
#include "tests/support/WindowFixture.h"

using analysis::FileTable;
namespace fs = std::filesystem;

namespace {

class ProcessTest : public testsupport::WindowFixture {
 protected:
  std::string Status() const { return window->StatusBar1->PanelText(0).toStdString(); }
  // Row r of the grid: checked flag, directory, name.
  std::string Row(int r) const {
    return std::to_string(FileTable[r].Checked) + " " +
           window->StringGrid1->Cell(1, r).toStdString() +
           window->StringGrid1->Cell(2, r).toStdString();
  }
  testsupport::TempDir site;
};

TEST_F(ProcessTest, TypedDirectoryEndsInTheGridWithUnusedFilesChecked) {
  site.Write("index.cfm", "<cfinclude template=\"inc/header.cfm\"> <img src=\"logo.gif\">");
  site.Write("inc/header.cfm", "<cf_Menu>");
  site.Write("menu.cfm", "plain");
  site.Write("logo.gif", "GIF89a");
  site.Write("old.gif", "GIF89a");
  const std::string dir = site.Dir().substr(0, site.Dir().size() - 1);  // no trailing "/"
  Process(dir);

  EXPECT_EQ(window->CBProjectDir->currentText().toStdString(), dir + "/");
  EXPECT_EQ(Status(), "  5 files.  ");
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(FileTable.FileCount, 5);
  EXPECT_EQ(window->StringGrid1->RowCount(), 6);
  std::map<std::string, int> checked;
  for (int r = 1; r <= 5; ++r) checked[FileTable[r].Name] = FileTable[r].Checked;
  EXPECT_EQ(checked, (std::map<std::string, int>{
                         {"index.cfm", 0}, {"header.cfm", 0}, {"menu.cfm", 0},
                         {"logo.gif", 0}, {"old.gif", 1}}));
  EXPECT_TRUE(window->BtnDelete->isEnabled());
  EXPECT_TRUE(window->CBProjectDir->isEnabled());
  EXPECT_TRUE(window->BtnProcess->isEnabled());
  // The directory is now the most recent one.
  EXPECT_EQ(window->CBProjectDir->findText(QString::fromStdString(dir + "/")), 0);
}

TEST_F(ProcessTest, BlankTextDoesNothingVisible) {
  Process("   ");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Status(), "  Press F1 for help.");
  EXPECT_EQ(window->CBProjectDir->count(), 0);
  EXPECT_FALSE(window->BtnDelete->isEnabled());
}

TEST_F(ProcessTest, InvalidDirectoryKeepsThePreviousResults) {
  site.Write("a.gif");
  Process(site.Dir());
  ASSERT_EQ(FileTable.FileCount, 1);
  Process(site.Dir() + "missing");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Invalid directory");
  EXPECT_EQ(boxes[0].title, "error");
  EXPECT_EQ(window->CBProjectDir->currentText().toStdString(), site.Dir() + "missing/");
  EXPECT_EQ(FileTable.FileCount, 1);
  EXPECT_TRUE(window->BtnDelete->isEnabled());
  EXPECT_TRUE(window->CBProjectDir->isEnabled());
}

TEST_F(ProcessTest, EmptyDirectoryGivesAnEmptyGridAndStillBecomesRecent) {
  Process(site.Dir());
  EXPECT_EQ(Status(), "  0 files.  ");
  EXPECT_EQ(window->StringGrid1->RowCount(), 2);
  EXPECT_FALSE(window->BtnDelete->isEnabled());
  EXPECT_EQ(window->CBProjectDir->count(), 1);
}

// The name cell tells why a file is kept, so the user can judge before
// deleting the others, and an unused file's that nothing read names it.
TEST_F(ProcessTest, RowsShowWhyAsTheNameTooltip) {
  site.Write("index.cfm", "<img src=\"logo.gif\">");
  site.Write("logo.gif", "GIF89a");
  site.Write("old.gif", "GIF89a");
  Process(site.Dir());
  ASSERT_EQ(FileTable.FileCount, 3);
  std::map<std::string, std::string> tips;
  for (int r = 1; r <= 3; ++r) {
    tips[window->StringGrid1->Cell(2, r).toStdString()] =
        window->StringGrid1->item(r - 1, 2)->toolTip().toStdString();
  }
  EXPECT_EQ(tips, (std::map<std::string, std::string>{
                      {"index.cfm", "Entry file"},
                      {"logo.gif", "Named in " + site.Dir() + "index.cfm"},
                      {"old.gif", "No page, include, style sheet or script names this file"}}));
}

TEST_F(ProcessTest, MoreThanAThousandFilesWarnAndKeepTheFirstThousand) {
  for (int i = 0; i < 1200; ++i) site.Write("f" + std::to_string(i) + ".gif");
  Process(site.Dir());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Not all files can be processed");
  EXPECT_EQ(boxes[0].title, "Warning");
  EXPECT_EQ(FileTable.FileCount, 1000);
  EXPECT_EQ(window->StringGrid1->RowCount(), 1001);
  EXPECT_EQ(Status(), "  1200 files.  ");
}

// Lists the real directory plus a page that is gone by the time the
// analysis reads it.
class VanishingPageSource : public platform::DirectorySource {
 public:
  explicit VanishingPageSource(std::string top) : top_(std::move(top)) {}
  bool active = false;
  std::unique_ptr<platform::DirectoryListing> Open(const std::string& dir) override {
    auto real = real_.Open(dir);
    if (!real || dir != top_ || !active) return real;
    return std::make_unique<Listing>(std::move(real));
  }

 private:
  class Listing : public platform::DirectoryListing {
   public:
    explicit Listing(std::unique_ptr<platform::DirectoryListing> real) : real_(std::move(real)) {}
    bool Next(platform::DirEntry& entry) override {
      if (real_->Next(entry)) return true;
      if (done_) return false;
      done_ = true;
      entry = {"ghost.cfm", platform::faArchive};
      return true;
    }

   private:
    std::unique_ptr<platform::DirectoryListing> real_;
    bool done_ = false;
  };
  std::string top_;
  platform::PosixDirectorySource real_;
};

TEST_F(ProcessTest, UnreadablePageEndsTheRunWithNothingLeftToDelete) {
  site.Write("a.gif");
  VanishingPageSource vanishing(site.Dir());
  source = &vanishing;
  OpenWindow();
  Process(site.Dir());
  ASSERT_TRUE(window->BtnDelete->isEnabled());
  ASSERT_EQ(window->StringGrid1->RowCount(), 2);

  vanishing.active = true;
  Process(site.Dir());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, site.Dir() + "ghost.cfm: File not found.");
  EXPECT_EQ(boxes[0].title, "Quilmere");
  // The half-analysed table is gone and the grid shows that; Delete is off.
  EXPECT_EQ(FileTable.FileCount, 0);
  EXPECT_EQ(window->StringGrid1->Cell(2, 1), "");
  EXPECT_FALSE(window->BtnDelete->isEnabled());
  EXPECT_TRUE(window->CBProjectDir->isEnabled());
  EXPECT_TRUE(window->BtnProcess->isEnabled());
  window->BtnDeleteClick();
  EXPECT_TRUE(deleted.empty());
  EXPECT_TRUE(std::filesystem::exists(site.Dir() + "a.gif"));
}

TEST_F(ProcessTest, DeleteAndProcessAreHeldBackWhileARunIsUnderWay) {
  for (int i = 0; i < 20; ++i) site.Write("sub" + std::to_string(i) + "/f.gif");
  site.Write("keep.gif");
  Process(site.Dir());
  ASSERT_TRUE(window->BtnDelete->isEnabled());
  bool sawRun = false;
  // Fires from the message handling inside the run.
  QTimer::singleShot(0, window.get(), [&] {
    sawRun = window->Processing();
    EXPECT_FALSE(window->BtnDelete->isEnabled());
    EXPECT_FALSE(window->BtnProcess->isEnabled());
    EXPECT_FALSE(window->Delete1->isEnabled());
    window->Delete1->trigger();
    window->BtnDelete->click();
    window->BtnDeleteClick();
    window->BtnProcessClick();
  });
  Process(site.Dir());
  EXPECT_TRUE(sawRun);
  EXPECT_EQ(confirmations, 0);
  EXPECT_TRUE(deleted.empty());
  EXPECT_EQ(FileTable.FileCount, 21);
  EXPECT_TRUE(window->BtnDelete->isEnabled());
  EXPECT_TRUE(window->Delete1->isEnabled());
}

// The window checks exactly what the core and quilmere-report find unused.
TEST_F(ProcessTest, CfmlFixtureSiteGetsTheExpectedChecks) {
  const std::string root = testsupport::CfmlSiteDir();
  Process(root);
  EXPECT_EQ(testsupport::VerdictsOf(FileTable, root), testsupport::ExpectedCfmlVerdicts());
  for (int r = 1; r <= FileTable.FileCount; ++r) {
    EXPECT_EQ(FileTable[r].Checked, FileTable[r].Unused);
  }
}

// Every pump inside a run fires the check commands and glyph clicks: none of
// them reaches the table, which comes out exactly as the analysis left it.
TEST_F(ProcessTest, ChecksCannotChangeWhileARunIsUnderWay) {
  for (int i = 0; i < 20; ++i) site.Write("sub" + std::to_string(i) + "/f.gif");
  site.Write("b.gif");
  site.Write("index.cfm", "b.gif sub3");
  Process(site.Dir());
  ASSERT_EQ(FileTable.FileCount, 22);
  results::TStringGrid* grid = window->StringGrid1;
  int fired = 0;
  QTimer pump;
  pump.setInterval(0);
  QObject::connect(&pump, &QTimer::timeout, [&] {
    if (!window->Processing()) return;
    ++fired;
    for (QAction* item : {window->DeleteAll1, window->UncheckAll1,
                          window->Restoreselectedstate1, window->Delete1}) {
      EXPECT_FALSE(item->isEnabled());
    }
    // The grid pairs no names with the table under construction.
    EXPECT_EQ(grid->RowCount(), 2);
    EXPECT_EQ(grid->Cell(2, 1), "");
    QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
    grid->SelectRows(1, 1);
    window->DeleteAll1Click();
    window->UncheckAll1Click();
    window->Restoreselectedstate1Click();
    window->DeleteAll1->trigger();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier,
                      results::TStringGrid::GlyphBox(grid->CellRect(0, 1)).center());
  });
  pump.start();
  Process(site.Dir());
  pump.stop();
  EXPECT_GT(fired, 0);
  ASSERT_EQ(FileTable.FileCount, 22);
  for (int r = 1; r <= FileTable.FileCount; ++r) {
    EXPECT_EQ(FileTable[r].Checked, FileTable[r].Unused) << FileTable[r].Name;
    EXPECT_EQ(FileTable[r].Unused, FileTable[r].Name == "f.gif" ? 1 : 0) << FileTable[r].Name;
  }
  // After the run every command works again.
  EXPECT_TRUE(window->DeleteAll1->isEnabled());
  grid->SelectRows(1, 22);
  window->DeleteAll1->trigger();
  for (int r = 1; r <= FileTable.FileCount; ++r) EXPECT_EQ(FileTable[r].Checked, 1);
}

// Between Process and Delete a folder of the project is swapped for a link
// to another folder: its file there is not the one listed and stays, and its
// row stays checked.
TEST_F(ProcessTest, DeleteNeverFollowsAFolderSwappedForALink) {
  testsupport::TempDir victim;
  victim.Write("old.gif");
  site.Write("sub/old.gif");
  site.Write("gone.gif");
  Process(site.Dir());
  ASSERT_EQ(FileTable.FileCount, 2);
  fs::rename(site.Dir() + "sub", site.Dir() + "moved");
  fs::create_directory_symlink(victim.Dir(), site.Dir() + "sub");
  window->BtnDeleteClick();
  EXPECT_TRUE(fs::exists(victim.Dir() + "old.gif"));
  EXPECT_TRUE(fs::exists(site.Dir() + "moved/old.gif"));
  EXPECT_FALSE(fs::exists(site.Dir() + "gone.gif"));
  ASSERT_EQ(FileTable.FileCount, 1);
  EXPECT_EQ(FileTable[1].Name, "old.gif");
  EXPECT_EQ(FileTable[1].Checked, 1);
  EXPECT_EQ(Status(), "  1 file deleted.  1 file could not be deleted.");
}

}  // namespace

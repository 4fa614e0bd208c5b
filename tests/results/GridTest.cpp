#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/QtApp.h"
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "results/qt/StringGrid.h"

namespace {

// A grid alone on screen over a table of its own.
class GridTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { testsupport::EnsureApplication(); }

  void SetUp() override {
    table = std::make_unique<analysis::TFileTable>();
    grid = std::make_unique<results::TStringGrid>(nullptr, *table, 3, 2, 128, 24);
    grid->SetColWidth(0, 77);
    grid->resize(500, 300);
    grid->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(grid.get()));
  }

  void Fill(int count) {
    table->Reset();
    for (int i = 1; i <= count; ++i) table->Append("f" + std::to_string(i) + ".gif", "/site/");
    grid->FillGrid();
    QApplication::processEvents();
  }

  QRect Box(int row) const { return results::TStringGrid::GlyphBox(grid->CellRect(0, row)); }
  void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(grid->viewport(), button, Qt::NoModifier, at);
  }
  int Checked(int row) const { return (*table)[row].Checked; }

  std::unique_ptr<analysis::TFileTable> table;
  std::unique_ptr<results::TStringGrid> grid;
};

TEST_F(GridTest, GlyphBoxCentresTheGlyphAndReachesFourPixelsBeyond) {
  EXPECT_EQ(results::TStringGrid::GlyphBox(QRect(0, 24, 77, 24)), QRect(30, 28, 20, 20));
  // Narrower than 19 pixels: the glyph sits at x = 1.
  EXPECT_EQ(results::TStringGrid::GlyphBox(QRect(0, 0, 18, 24)).left(), 1);
  EXPECT_EQ(results::TStringGrid::GlyphBox(QRect(0, 0, 19, 24)).left(), 1);  // (0 + 19 - 16) / 2
  EXPECT_EQ(results::TStringGrid::GlyphBox(QRect(0, 0, 40, 24)).left(), 12);
}

TEST_F(GridTest, ClickToggleReachesFourPixelsRightAndBelowTheGlyphOnly) {
  Fill(3);
  const QRect box = Box(2);
  const QPoint glyph = box.topLeft();
  Click(glyph + QPoint(8, 8));
  EXPECT_EQ(Checked(2), 0);
  Click(glyph + QPoint(19, 19));  // 4 pixels beyond the 16-pixel glyph
  EXPECT_EQ(Checked(2), 1);
  Click(glyph + QPoint(16, 2));   // 1 pixel right of the glyph
  EXPECT_EQ(Checked(2), 0);
  Click(glyph + QPoint(20, 8));   // 5 pixels right: outside
  Click(glyph + QPoint(-1, 8));   // left of the glyph: outside
  Click(QPoint(2, box.center().y()));  // column 0, far from the glyph
  EXPECT_EQ(Checked(2), 0);
  EXPECT_EQ(Checked(1), 1);
  EXPECT_EQ(Checked(3), 1);
}

TEST_F(GridTest, AnyButtonTogglesAndTheRightOneKeepsTheSelection) {
  Fill(5);
  QMenu menu;
  grid->SetPopupMenu(&menu);
  grid->SelectRows(2, 3);
  Click(Box(4).center(), Qt::RightButton);
  EXPECT_EQ(Checked(4), 0);
  EXPECT_TRUE(menu.isVisible());
  menu.hide();
  EXPECT_EQ(grid->SelectedRows(), std::make_pair(2, 3));
  Click(Box(4).center(), Qt::MiddleButton);
  EXPECT_EQ(Checked(4), 1);
}

TEST_F(GridTest, PressOnOneGlyphReleaseOnAnotherTogglesTheReleaseRow) {
  Fill(5);
  QTest::mousePress(grid->viewport(), Qt::LeftButton, Qt::NoModifier, Box(2).center());
  QTest::mouseRelease(grid->viewport(), Qt::LeftButton, Qt::NoModifier, Box(4).center());
  EXPECT_EQ(Checked(2), 1);
  EXPECT_EQ(Checked(4), 0);
}

TEST_F(GridTest, AfterScrollingAClickTogglesTheRowShownThere) {
  Fill(100);
  const QPoint firstGlyph = Box(1).center();
  grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() + 3);
  QApplication::processEvents();
  const int top = grid->TopRow();
  ASSERT_GT(top, 1);
  Click(firstGlyph);
  EXPECT_EQ(Checked(1), 1);
  EXPECT_EQ(Checked(top), 0);
}

TEST_F(GridTest, EmptyTableHasOneBlankRowThatIgnoresClicks) {
  Fill(1);
  Fill(0);
  EXPECT_EQ(grid->RowCount(), 2);
  EXPECT_EQ(grid->Cell(2, 1), "");
  (*table)[1].Checked = 1;  // stale slot above FileCount
  Click(Box(1).center());
  EXPECT_EQ((*table)[1].Checked, 1);
  QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_TRUE(grid->selectedRanges().isEmpty());
}

TEST_F(GridTest, CtrlASelectsEveryEntryRowWithOrWithoutShift) {
  Fill(7);
  QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(grid->SelectedRows(), std::make_pair(1, 7));
  grid->SelectRows(3, 3);
  QTest::keyClick(grid.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(grid->SelectedRows(), std::make_pair(1, 7));
}

// Space is a click on the focused row's glyph; the menu keys open the menu
// for the focused row; a hidden row takes neither.
TEST_F(GridTest, KeyboardTogglesAndOpensTheMenuAtTheFocusedRow) {
  Fill(6);
  QMenu menu;
  grid->SetPopupMenu(&menu);
  QSignalSpy toggled(grid.get(), &results::TStringGrid::CheckToggled);
  grid->setFocus();
  grid->GoToRow(4);
  QTest::keyClick(grid.get(), Qt::Key_Space);
  EXPECT_EQ(Checked(4), 0);
  ASSERT_EQ(toggled.count(), 1);
  EXPECT_EQ(toggled.at(0).at(0).toInt(), 4);
  QTest::keyClick(grid.get(), Qt::Key_Space);
  EXPECT_EQ(Checked(4), 1);
  for (const auto& [key, modifiers] : {std::pair{Qt::Key_F10, Qt::ShiftModifier},
                                       std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
    grid->GoToRow(key == Qt::Key_Menu ? 2 : 5);
    QTest::keyClick(grid.get(), key, modifiers);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(grid->MenuRow(), key == Qt::Key_Menu ? 2 : 5);
    menu.hide();
  }
  // Checked rows only: an unchecked row goes; the others keep their numbers,
  // and a click on a glyph below the gap toggles the row shown there.
  (*table)[3].Checked = 0;
  grid->SetCheckedOnly(true);
  EXPECT_FALSE(grid->RowShown(3));
  EXPECT_TRUE(grid->RowShown(4));
  Click(Box(5).center());
  EXPECT_EQ(Checked(5), 0);
  EXPECT_TRUE(grid->RowShown(5));  // until the next fill or filter
  grid->SetCheckedOnly(false);
  EXPECT_TRUE(grid->RowShown(3));
}

// The subfolders tell rows apart: the project's part of a directory goes
// first, the rest only when it alone is too wide.
TEST_F(GridTest, DirectoryCellsGiveUpTheProjectPartFirst) {
  const QFontMetrics metrics = grid->fontMetrics();
  const QString project = QStringLiteral("/home/someone/sites/corporate/");
  const QString dir = project + QStringLiteral("system/admin/img/");
  const QString ellipsis(QChar(0x2026));
  EXPECT_EQ(results::TStringGrid::ElideDirectory(dir, project, metrics, 10000), dir);
  const int width = metrics.horizontalAdvance(QStringLiteral("/home/") + ellipsis +
                                              QStringLiteral("system/admin/img/"));
  EXPECT_EQ(results::TStringGrid::ElideDirectory(dir, project, metrics, width),
            QStringLiteral("/home/") + ellipsis + QStringLiteral("system/admin/img/"));
  const QString narrow = results::TStringGrid::ElideDirectory(dir, project, metrics, width / 3);
  EXPECT_LE(metrics.horizontalAdvance(narrow), width / 3);
  EXPECT_TRUE(narrow.startsWith(ellipsis));
  EXPECT_TRUE(narrow.endsWith(QLatin1Char('/')));
}

TEST_F(GridTest, ColumnZeroSpringsBackToEighteenPixels) {
  Fill(2);
  grid->SetColWidth(0, 10);
  EXPECT_TRUE(QTest::qWaitFor([&] { return grid->ColWidth(0) == 18; }, 5000));
}

TEST_F(GridTest, HotRowFollowsThePointerAcrossColumnZeroCells) {
  Fill(8);
  QTest::mouseMove(grid->viewport(), grid->CellRect(0, 5).center());
  QApplication::processEvents();
  EXPECT_EQ(grid->HotRow(), 5);
  QTest::mouseMove(grid->viewport(), grid->CellRect(1, 6).center());
  QApplication::processEvents();
  EXPECT_EQ(grid->HotRow(), 6);
  // The glyph box follows the row's place after a refill too.
  EXPECT_EQ((*table)[5].CheckRect.Left, Box(5).left());
}

TEST_F(GridTest, FillGridShowsDirectoryAndNameAndKeepsColumnZeroEmpty) {
  Fill(3);
  EXPECT_EQ(grid->RowCount(), 4);
  EXPECT_EQ(grid->Cell(1, 2), "/site/");
  EXPECT_EQ(grid->Cell(2, 2), "f2.gif");
  EXPECT_EQ(grid->Cell(0, 2), "");
  table->Append("caf\xe9.gif", "/site/");  // not UTF-8: shown as well as it goes
  grid->FillGrid();
  EXPECT_FALSE(grid->Cell(2, 4).isEmpty());
}

// A row's tooltip belongs to the entry it shows: the cells are reused when
// the table shrinks or empties, and must not keep an earlier entry's reason.
TEST_F(GridTest, ReasonTooltipsFollowTheEntriesShown) {
  Fill(2);
  (*table)[1].Unused = 0;
  (*table)[1].Reason = analysis::TUseRule::EntryFile;
  grid->FillGrid();
  const auto tip = [&](int col, int row) { return grid->item(row - 1, col)->toolTip(); };
  EXPECT_EQ(tip(2, 1), "Entry file");
  EXPECT_EQ(tip(1, 1), "/site/f1.gif\nEntry file");
  EXPECT_EQ(tip(2, 2), "");
  EXPECT_EQ(tip(1, 2), "/site/f2.gif");
  Fill(0);
  EXPECT_EQ(tip(2, 1), "");
  EXPECT_EQ(tip(1, 1), "");
}

}  // namespace

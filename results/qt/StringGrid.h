#pragma once
#include <QImage>
#include <QRect>
#include <QString>
#include <QTableWidget>
#include <array>
#include <cstdint>

#include "analysis/FileTable.h"
#include "results/qt/Glyphs.h"

class QMenu;

// The results grid: a string grid with one fixed title row that shows the
// file table, one row per entry, with a check glyph in column 0.
//
// Row numbering follows the table: row 0 is the title row (the horizontal
// header), row r >= 1 is entry r (the table widget's row r - 1). Check states
// live in the table, never in the grid; the grid draws them and toggles them
// on a click on a glyph. A glyph's box is always computed from the row's
// current cell rectangle when it is used, so a scroll that moves rows without
// repainting them can never leave a stale box behind.
//
// With "checked rows only" the grid hides the rows that were unchecked when
// it was set or the grid last filled; a row keeps its number, so every
// command still reaches entry r through row r. The keyboard: Space toggles
// the focused row's check as a click on its glyph does; Shift+F10 and the
// Menu key open the pop-up menu at the focused row, which a frame marks
// while the grid has the focus. GUI thread only; owned by its parent panel.
namespace results {

class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  TStringGrid(QWidget* parent, analysis::TFileTable& table, int colCount, int rowCount,
              int defaultColWidth, int rowHeight);

  // Grid geometry in the grid's own numbering.
  int RowCount() const { return rowCount() + 1; }
  void SetRowCount(int rows);  // title row included, at least 2
  int ColCount() const { return columnCount(); }
  int ColWidth(int col) const { return columnWidth(col); }
  void SetColWidth(int col, int width) { setColumnWidth(col, width); }
  int DefaultRowHeight() const { return rowHeight_; }
  QString Cell(int col, int row) const;
  void SetCell(int col, int row, const QString& text);
  int TopRow() const;           // first data row on screen
  int VisibleRowCount() const;  // fully visible data rows
  int LeftCol() const;          // leftmost visible column
  QRect CellRect(int col, int row) const;  // viewport coordinates
  // The selected rows, top and bottom (bottom < top when there is none).
  std::pair<int, int> SelectedRows() const;
  void SelectRows(int top, int bottom);

  // The glyph box of a row whose column-0 cell is cell: the 16-pixel glyph
  // centred in the cell (at x = 1 in a cell narrower than 19), reaching 4
  // pixels beyond it to the right and below.
  static QRect GlyphBox(const QRect& cell);
  // The glyph picture: Image1..Image6.
  const QImage& Glyph(bool checked, GlyphLook look) const;

  // Shows the table: rows 1..FileCount with Directory and Name, or one blank
  // row for an empty table. The grid is hidden while the rows are laid out.
  // A used entry's directory and name cells carry why it is used
  // (analysis::UseReasonText) as their tooltip.
  void FillGrid();
  // Shows the title row and one blank row without a glyph, whatever the
  // table holds, until the next FillGrid: for the time the table is rebuilt.
  void ShowNoRows();
  // The number of table entries the grid shows rows for.
  std::int32_t ShownCount() const { return shownCount_; }
  // Draws every visible glyph anew from Checked (after a selection command).
  void RepaintGlyphs();

  // The pop-up menu opened by a right-click (or the menu key).
  void SetPopupMenu(QMenu* menu) { popup_ = menu; }
  // The entry row the pop-up menu was last opened at: the row under the
  // pointer, or the focused row from the keyboard; 0 when it was none.
  int MenuRow() const { return menuRow_; }

  // Shows only the rows checked now (and again after each FillGrid), or all.
  void SetCheckedOnly(bool checkedOnly);
  bool CheckedOnly() const { return checkedOnly_; }
  // True when row is not hidden by SetCheckedOnly.
  bool RowShown(int row) const;
  // Makes row the focused and only selected row and scrolls it into view.
  void GoToRow(int row);
  // The focused row (0: none).
  int FocusedRow() const { return currentRow() + 1; }

  // A directory cell's text in width pixels: whole when it fits, else
  // shortened in the middle, where the project directory's own part gives
  // way first so that the subfolders that tell rows apart stay.
  static QString ElideDirectory(const QString& directory, const QString& project,
                                const QFontMetrics& metrics, int width);

  // The row over which the pointer last moved (-1: not over a cell).
  int HotRow() const { return hotRow_; }

  // Selecting a row scrolls it into view vertically only; the columns stay
  // where the user scrolled them.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 signals:
  // A click on row's glyph changed its entry's Checked.
  void CheckToggled(int row);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  class GlyphDelegate;
  friend class GlyphDelegate;

  bool OnScreen(int row) const;
  // Keeps box as row's CheckRect in the table.
  void StoreGlyphBox(int row, const QRect& box);
  void SetBlankRow();  // the one row of an empty grid, no tooltip
  // The directory cell's tooltip: the file's path, and the reason after it.
  void SetRowToolTip(int row, const QString& path, const QString& reason);
  void PaintColumn0(class QPainter* painter, const class QStyleOptionViewItem& option, int row);
  void SetLook(int row, GlyphLook look);
  // Turns entry row's check over, as a click on its glyph does.
  void ToggleRow(int row);
  void OpenPopup(int row, const QPoint& globalPos);
  void OpenPopupAtFocus();
  void ApplyCheckedOnly();

  analysis::TFileTable& table_;
  // Rows 1..shownCount_ show entries 1..shownCount_; glyphs, clicks and
  // Ctrl+A look no further, so a table rebuilt under the grid is never drawn
  // or toggled through rows that show other names.
  std::int32_t shownCount_ = 0;
  int rowHeight_;
  int hotRow_ = 0;
  int lookRow_ = -1;  // the one row drawn hot or pressed, if any
  GlyphLook look_ = GlyphLook::Normal;
  std::array<QImage, GlyphCount> glyphs_;
  QMenu* popup_ = nullptr;
  int menuRow_ = 0;
  bool checkedOnly_ = false;
};

}  // namespace results

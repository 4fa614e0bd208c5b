#pragma once
#include <QString>
#include <QTableWidget>

// A string grid with one fixed title row: row 0 is the horizontal header,
// rows 1 to RowCount() - 1 are the table widget's rows 0 to n - 1. Cells are
// addressed (column, row) with that numbering. Whole-row selection of a range,
// horizontal lines between rows, columns resizable by the user, no editing.
// Lives on the GUI thread; owned by its parent panel.
namespace results {

class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  TStringGrid(QWidget* parent, int colCount, int rowCount, int defaultColWidth, int rowHeight);

  int RowCount() const { return rowCount() + 1; }
  void SetRowCount(int rows);  // title row included, at least 2
  int ColCount() const { return columnCount(); }
  int ColWidth(int col) const { return columnWidth(col); }
  void SetColWidth(int col, int width) { setColumnWidth(col, width); }
  int DefaultRowHeight() const { return rowHeight_; }

  QString Cell(int col, int row) const;
  void SetCell(int col, int row, const QString& text);

 private:
  int rowHeight_;
};

}  // namespace results

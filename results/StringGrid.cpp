#include "results/StringGrid.h"

#include <QHeaderView>

namespace results {

TStringGrid::TStringGrid(QWidget* parent, int colCount, int rowCount, int defaultColWidth,
                         int rowHeight)
    : QTableWidget(parent), rowHeight_(rowHeight) {
  setColumnCount(colCount);
  SetRowCount(rowCount);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setTabKeyNavigation(false);
  setWordWrap(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(rowHeight);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setDefaultSectionSize(defaultColWidth);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setFixedHeight(rowHeight);
  horizontalHeader()->setStretchLastSection(false);
  // Horizontal lines between rows only; the header draws the title cells.
  setShowGrid(false);
  setStyleSheet(QStringLiteral("QTableWidget::item { border-bottom: 1px solid palette(mid); }"));
}

void TStringGrid::SetRowCount(int rows) { setRowCount(rows < 2 ? 1 : rows - 1); }

QString TStringGrid::Cell(int col, int row) const {
  if (row == 0) {
    const QTableWidgetItem* header = horizontalHeaderItem(col);
    return header ? header->text() : QString();
  }
  const QTableWidgetItem* cell = item(row - 1, col);
  return cell ? cell->text() : QString();
}

void TStringGrid::SetCell(int col, int row, const QString& text) {
  if (row == 0) {
    setHorizontalHeaderItem(col, new QTableWidgetItem(text));
    return;
  }
  QTableWidgetItem* cell = item(row - 1, col);
  if (cell == nullptr) {
    cell = new QTableWidgetItem;
    setItem(row - 1, col, cell);
  }
  cell->setText(text);
}

}  // namespace results

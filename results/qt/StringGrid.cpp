#include "results/qt/StringGrid.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include "analysis/UseReason.h"

namespace results {

namespace {
constexpr int kMinColumn0Width = 18;
// A glyph's box reaches 4 pixels beyond the 16-pixel glyph, right and below.
constexpr int GlyphBoxSize = GlyphSize + 4;
}

// Draws column 0 as the row's glyph over the cell background; other columns
// as the grid draws them.
class TStringGrid::GlyphDelegate : public QStyledItemDelegate {
 public:
  explicit GlyphDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    if (index.column() != 0) {
      QStyledItemDelegate::paint(painter, option, index);
      return;
    }
    grid_->PaintColumn0(painter, option, index.row() + 1);
  }

 private:
  TStringGrid* grid_;
};

TStringGrid::TStringGrid(QWidget* parent, analysis::TFileTable& table, int colCount, int rowCount,
                         int defaultColWidth, int rowHeight)
    : QTableWidget(parent), table_(table), rowHeight_(rowHeight) {
  for (int i = 0; i < GlyphCount; ++i) glyphs_[i] = MakeGlyph(GlyphChecked(i), GlyphLookOf(i));
  setColumnCount(colCount);
  SetRowCount(rowCount);
  setItemDelegate(new GlyphDelegate(this));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setTabKeyNavigation(false);
  setWordWrap(false);
  setMouseTracking(true);
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
  // Column 0 springs back to the narrowest width that still shows a glyph.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int section, int, int width) {
            if (section == 0 && width < kMinColumn0Width) {
              QTimer::singleShot(0, this, [this] {
                if (columnWidth(0) < kMinColumn0Width) setColumnWidth(0, kMinColumn0Width);
              });
            }
          });
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

int TStringGrid::TopRow() const {
  const int row = rowAt(0);
  return row < 0 ? 1 : row + 1;
}

int TStringGrid::VisibleRowCount() const {
  const int height = rowHeight(0) > 0 ? rowHeight(0) : rowHeight_;
  const int top = rowAt(0);
  if (top < 0) return 0;
  const int offset = rowViewportPosition(top);  // <= 0 when partly scrolled out
  return (viewport()->height() - offset) / height - (offset < 0 ? 1 : 0);
}

int TStringGrid::LeftCol() const { return columnAt(0); }

QRect TStringGrid::CellRect(int col, int row) const {
  if (row < 1 || row > rowCount()) return {};
  return visualRect(model()->index(row - 1, col));
}

std::pair<int, int> TStringGrid::SelectedRows() const {
  const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
  if (ranges.isEmpty()) {
    const int current = currentRow();
    return current < 0 ? std::pair{1, 0} : std::pair{current + 1, current + 1};
  }
  int top = ranges.front().topRow(), bottom = ranges.front().bottomRow();
  for (const auto& range : ranges) {
    top = std::min(top, range.topRow());
    bottom = std::max(bottom, range.bottomRow());
  }
  return {top + 1, bottom + 1};
}

void TStringGrid::SelectRows(int top, int bottom) {
  clearSelection();
  if (bottom < top || top < 1) return;
  setRangeSelected(QTableWidgetSelectionRange(top - 1, 0, bottom - 1, columnCount() - 1), true);
}

QRect TStringGrid::GlyphBox(const QRect& cell) {
  // In the grid's inclusive-exclusive terms: L = left, R = right + 1.
  const int left = cell.left(), right = cell.left() + cell.width();
  const int top = cell.top(), bottom = cell.top() + cell.height();
  const int y = (top + bottom - GlyphSize) / 2;
  const int x = (right - left <= kMinColumn0Width) ? 1 : (left + right - GlyphSize) / 2;
  return QRect(x, y, GlyphBoxSize, GlyphBoxSize);
}

const QImage& TStringGrid::Glyph(bool checked, GlyphLook look) const {
  return glyphs_[GlyphIndex(checked, look)];
}

void TStringGrid::StoreGlyphBox(int row, const QRect& box) {
  // CheckRect keeps the grid's inclusive-exclusive terms: right = left + width.
  table_[row].CheckRect = {box.left(), box.top(), box.left() + box.width(),
                           box.top() + box.height()};
}

void TStringGrid::PaintColumn0(QPainter* painter, const QStyleOptionViewItem& option, int row) {
  const bool selected = option.state & QStyle::State_Selected;
  // The bottom pixel row stays for the line between rows.
  painter->fillRect(option.rect.adjusted(0, 0, 0, -1),
                    selected ? option.palette.highlight() : option.palette.base());
  if (row < 1 || row > shownCount_) return;
  const QRect box = GlyphBox(option.rect);
  StoreGlyphBox(row, box);
  const GlyphLook look = row == lookRow_ ? look_ : GlyphLook::Normal;
  painter->drawImage(box.topLeft(), Glyph(table_[row].Checked == 1, look));
}

void TStringGrid::FillGrid() {
  hide();
  lookRow_ = -1;
  const std::int32_t count = table_.FileCount;
  shownCount_ = std::max<std::int32_t>(count, 0);
  if (count <= 0) {
    SetBlankRow();
  } else {
    SetRowCount(count + 1);
    for (std::int32_t r = 1; r <= count; ++r) {
      const analysis::TFileName& entry = table_[r];
      SetCell(1, r, QString::fromLocal8Bit(entry.Directory));
      SetCell(2, r, QString::fromLocal8Bit(entry.Name));
      // Why the file is kept, or that nothing read names it, from what the
      // analysis recorded.
      SetRowToolTip(r, QString::fromLocal8Bit(analysis::UseReasonText(entry)));
    }
  }
  show();
}

void TStringGrid::ShowNoRows() {
  hide();
  lookRow_ = -1;
  shownCount_ = 0;
  SetBlankRow();
  show();
}

void TStringGrid::SetBlankRow() {
  SetRowCount(2);
  for (int col = 0; col < 3; ++col) SetCell(col, 1, QString());
  SetRowToolTip(1, QString());
}

void TStringGrid::SetRowToolTip(int row, const QString& text) {
  for (int col : {1, 2}) {
    if (QTableWidgetItem* cell = item(row - 1, col)) cell->setToolTip(text);
  }
}

void TStringGrid::RepaintGlyphs() {
  lookRow_ = -1;
  viewport()->update();
}

void TStringGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
  const int column = horizontalScrollBar()->value();
  QTableWidget::scrollTo(index, hint);
  horizontalScrollBar()->setValue(column);
}

bool TStringGrid::OnScreen(int row) const {
  const int top = TopRow();
  return row >= top && row <= top + VisibleRowCount();
}

void TStringGrid::SetLook(int row, GlyphLook look) {
  if (look == GlyphLook::Normal) {
    if (lookRow_ == row) lookRow_ = -1;
  } else {
    lookRow_ = row;
    look_ = look;
  }
  viewport()->update(CellRect(0, row));
}

void TStringGrid::mouseMoveEvent(QMouseEvent* event) {
  QTableWidget::mouseMoveEvent(event);
  const QPoint pos = event->position().toPoint();
  const int col = columnAt(pos.x());
  const int tableRow = rowAt(pos.y());
  const int row = (tableRow < 0 || col < 0) ? -1 : tableRow + 1;
  const std::int32_t count = shownCount_;

  // Take the previous hot glyph back.
  if (hotRow_ >= 1 && hotRow_ <= count && OnScreen(hotRow_) && LeftCol() == 0 &&
      (hotRow_ != row || col > 0)) {
    SetLook(hotRow_, GlyphLook::Normal);
  }
  // The current row's glyph turns hot (pressed while the left button is held).
  if (row >= 1 && row <= count && col == 0 && OnScreen(row)) {
    const QRect box = GlyphBox(CellRect(0, row));
    StoreGlyphBox(row, box);
    SetLook(row, (event->buttons() & Qt::LeftButton) ? GlyphLook::Pressed : GlyphLook::Hot);
  }
  hotRow_ = row;
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
  // The right button opens the pop-up menu and leaves the selection alone.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTableWidget::mousePressEvent(event);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
  QTableWidget::mouseReleaseEvent(event);
  const QPoint pos = event->position().toPoint();
  // Any button toggles the row whose glyph box, at its place on screen now,
  // holds the point; only boxes of rows on screen are tested.
  const int top = TopRow();
  const int last = top + VisibleRowCount();
  for (int r = top; r <= shownCount_ && r <= last; ++r) {
    const QRect cell = CellRect(0, r);
    if (!cell.isValid()) break;
    const QRect box = GlyphBox(cell);
    StoreGlyphBox(r, box);
    if (box.contains(pos)) {
      table_[r].Checked = static_cast<std::uint8_t>(1 - table_[r].Checked);
      SetLook(r, GlyphLook::Normal);
      emit CheckToggled(r);
      break;
    }
  }
  if (event->button() == Qt::RightButton && popup_ != nullptr) {
    popup_->popup(event->globalPosition().toPoint());
  }
}

void TStringGrid::contextMenuEvent(QContextMenuEvent* event) {
  // Mouse-made menus open on the button's release (after its toggle).
  if (event->reason() == QContextMenuEvent::Mouse || popup_ == nullptr) return;
  popup_->popup(event->globalPos());
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier)) {
    // Every table entry, never the title row; nothing for an empty table.
    if (shownCount_ > 0) {
      SelectRows(1, shownCount_);
    } else {
      clearSelection();
    }
    event->accept();
    return;
  }
  QTableWidget::keyPressEvent(event);
}

}  // namespace results

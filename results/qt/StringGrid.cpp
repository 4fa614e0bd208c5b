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
constexpr int DirectoryColumn = 1;
// U+2026, the ellipsis that stands for what a shortened cell leaves out.
constexpr char16_t Ellipsis = 0x2026;
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

 protected:
  // The directory column shortens its text the grid's own way.
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() != DirectoryColumn) return;
    const QStyle* style = grid_->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1;
    option->text = ElideDirectory(option->text,
                                  QString::fromLocal8Bit(grid_->table_.ProjectDirectory),
                                  option->fontMetrics, option->rect.width() - 2 * margin);
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

QString TStringGrid::ElideDirectory(const QString& directory, const QString& project,
                                   const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(directory) <= width) return directory;
  const QString ellipsis(QChar{Ellipsis});
  if (!project.isEmpty() && directory.startsWith(project)) {
    const QString rest = directory.mid(project.size());
    // The most of the project's part that still fits before the rest.
    auto fits = [&](qsizetype keep) {
      return metrics.horizontalAdvance(project.left(keep) + ellipsis + rest) <= width;
    };
    if (fits(0)) {
      qsizetype low = 0, high = project.size() - 1;  // fits(low) holds
      while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (fits(mid)) {
          low = mid;
        } else {
          high = mid - 1;
        }
      }
      return project.left(low) + ellipsis + rest;
    }
    // The project's part is gone and the rest is still too wide: its middle
    // goes too, behind the ellipsis that stands for the project.
    return metrics.elidedText(ellipsis + rest, Qt::ElideMiddle, width);
  }
  return metrics.elidedText(directory, Qt::ElideMiddle, width);
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
      SetRowToolTip(r, QString::fromLocal8Bit(entry.Directory + entry.Name),
                    QString::fromLocal8Bit(analysis::UseReasonText(entry)));
    }
  }
  ApplyCheckedOnly();
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
  SetRowToolTip(1, QString(), QString());
  setRowHidden(0, false);
}

void TStringGrid::SetRowToolTip(int row, const QString& path, const QString& reason) {
  // The directory cell may be shortened: its tooltip has the whole path.
  if (QTableWidgetItem* cell = item(row - 1, DirectoryColumn)) {
    cell->setToolTip(reason.isEmpty() || path.isEmpty() ? path : path + u'\n' + reason);
  }
  if (QTableWidgetItem* cell = item(row - 1, 2)) cell->setToolTip(reason);
}

void TStringGrid::SetCheckedOnly(bool checkedOnly) {
  checkedOnly_ = checkedOnly;
  ApplyCheckedOnly();
}

void TStringGrid::ApplyCheckedOnly() {
  for (std::int32_t r = 1; r <= shownCount_; ++r) {
    setRowHidden(r - 1, checkedOnly_ && table_[r].Checked != 1);
  }
}

bool TStringGrid::RowShown(int row) const {
  return row >= 1 && row <= rowCount() && !isRowHidden(row - 1);
}

void TStringGrid::GoToRow(int row) {
  if (!RowShown(row)) return;
  const QModelIndex index = model()->index(row - 1, DirectoryColumn);
  selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
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
  if (!RowShown(row)) return false;
  const QRect cell = CellRect(0, row);
  return cell.bottom() >= 0 && cell.top() < viewport()->height();
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
  // holds the point; only boxes of rows on screen are tested (hidden rows
  // have no place).
  for (int r = TopRow(); r <= shownCount_; ++r) {
    if (!RowShown(r)) continue;
    const QRect cell = CellRect(0, r);
    if (!cell.isValid() || cell.top() >= viewport()->height()) break;
    const QRect box = GlyphBox(cell);
    StoreGlyphBox(r, box);
    if (box.contains(pos)) {
      ToggleRow(r);
      break;
    }
  }
  if (event->button() == Qt::RightButton) {
    const int row = rowAt(pos.y());
    OpenPopup(row < 0 ? 0 : row + 1, event->globalPosition().toPoint());
  }
}

void TStringGrid::ToggleRow(int row) {
  table_[row].Checked = static_cast<std::uint8_t>(1 - table_[row].Checked);
  SetLook(row, GlyphLook::Normal);
  emit CheckToggled(row);
}

void TStringGrid::OpenPopup(int row, const QPoint& globalPos) {
  if (popup_ == nullptr) return;
  menuRow_ = row >= 1 && row <= shownCount_ ? row : 0;
  popup_->popup(globalPos);
}

void TStringGrid::contextMenuEvent(QContextMenuEvent* event) {
  // Mouse-made menus open on the button's release (after its toggle); the
  // keyboard's open at the focused row.
  if (event->reason() == QContextMenuEvent::Mouse) return;
  OpenPopupAtFocus();
}

void TStringGrid::OpenPopupAtFocus() {
  const int row = FocusedRow();
  const QRect cell = RowShown(row) ? CellRect(DirectoryColumn, row) : QRect();
  const QPoint at = cell.isValid() ? cell.bottomLeft() : QPoint(0, 0);
  OpenPopup(row, viewport()->mapToGlobal(at));
}

void TStringGrid::paintEvent(QPaintEvent* event) {
  QTableWidget::paintEvent(event);
  // The focus frame: around the whole focused row, in the text colour, so it
  // shows on a selected row as on any other.
  const int row = FocusedRow();
  if (!hasFocus() || !RowShown(row)) return;
  const QRect first = CellRect(0, row);
  const QRect last = CellRect(columnCount() - 1, row);
  if (!first.isValid() || !last.isValid()) return;
  QPainter painter(viewport());
  painter.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
  // The bottom pixel row is the line between rows.
  painter.drawRect(first.united(last).adjusted(0, 0, -1, -2));
}

void TStringGrid::focusInEvent(QFocusEvent* event) {
  QTableWidget::focusInEvent(event);
  viewport()->update();
}

void TStringGrid::focusOutEvent(QFocusEvent* event) {
  QTableWidget::focusOutEvent(event);
  viewport()->update();
}

void TStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableWidget::currentChanged(current, previous);
  // The frame spans the row: both rows are drawn anew, not only two cells.
  viewport()->update();
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
  const bool menuKey = event->key() == Qt::Key_Menu ||
                       (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
  if (menuKey) {
    OpenPopupAtFocus();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    const int row = FocusedRow();
    if (row >= 1 && row <= shownCount_ && RowShown(row)) ToggleRow(row);
    event->accept();
    return;
  }
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

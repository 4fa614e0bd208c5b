#include "app/FolderTree.h"

#include <QHeaderView>
#include <QTimer>

TShellTreeView::TShellTreeView(QWidget* parent)
    : QTreeView(parent), model_(new platform::FolderTreeModel(this)) {
  setModel(model_);
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  expand(model_->TopIndex());
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { emit Change(); });
  // Once the user has picked a folder the tree stays where it is.
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { reveal_.clear(); });
  connect(model_, &platform::FolderTreeModel::DirectoryLoaded, this, [this](const QString& dir) {
    if (!reveal_.isEmpty() && (reveal_ == dir || reveal_.startsWith(dir))) RevealNow();
  });
  // The listing sorts its folders after loading them, which moves rows.
  connect(model_, &QAbstractItemModel::layoutChanged, this, [this] {
    if (!reveal_.isEmpty()) RevealNow();
  });
}

QString TShellTreeView::SelectedPath() const { return model_->FilePath(currentIndex()); }

void TShellTreeView::RevealPath(const QString& path) {
  reveal_ = path;
  RevealNow();
  // Only while the tree first fills; after that the user's scrolling wins.
  QTimer::singleShot(3000, this, [this] { reveal_.clear(); });
}

bool TShellTreeView::RevealNow() {
  const QModelIndex index = model_->IndexOf(reveal_);
  if (!index.isValid()) return false;
  for (QModelIndex p = index; p.isValid(); p = p.parent()) expand(p);
  scrollTo(index, QAbstractItemView::PositionAtTop);
  return true;
}

bool TShellTreeView::SelectPath(const QString& path) {
  const QModelIndex index = model_->IndexOf(path);
  if (!index.isValid()) return false;
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) expand(p);
  setCurrentIndex(index);
  scrollTo(index);
  return true;
}

#include "app/FolderTree.h"

#include <QHeaderView>

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
}

QString TShellTreeView::SelectedPath() const { return model_->FilePath(currentIndex()); }

bool TShellTreeView::SelectPath(const QString& path) {
  const QModelIndex index = model_->IndexOf(path);
  if (!index.isValid()) return false;
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) expand(p);
  setCurrentIndex(index);
  scrollTo(index);
  return true;
}

#include "platform/qt/FolderTreeModel.h"

#include <QFileIconProvider>

namespace platform {

// Exposes createIndex so the proxy can rebuild a source index from the row,
// column and internal pointer it keeps in its own indexes.
class FolderTreeModel::SourceModel : public QFileSystemModel {
 public:
  using QFileSystemModel::QFileSystemModel;
  QModelIndex Make(int row, int column, void* pointer) const {
    return createIndex(row, column, pointer);
  }
};

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QAbstractItemModel(parent), source_(new SourceModel(this)) {
  source_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  source_->setReadOnly(true);
  source_->setRootPath(QStringLiteral("/"));
  connect(source_, &QFileSystemModel::directoryLoaded, this, &FolderTreeModel::DirectoryLoaded);
  ConnectSource();
}

bool FolderTreeModel::IsTop(const QModelIndex& index) const {
  return index.isValid() && index.model() == this && index.internalPointer() == nullptr;
}

QModelIndex FolderTreeModel::TopIndex() const { return createIndex(0, 0, nullptr); }

QModelIndex FolderTreeModel::ToSource(const QModelIndex& proxy) const {
  if (!proxy.isValid() || IsTop(proxy)) return {};
  return source_->Make(proxy.row(), proxy.column(), proxy.internalPointer());
}

QModelIndex FolderTreeModel::FromSource(const QModelIndex& source) const {
  if (!source.isValid()) return {};
  return createIndex(source.row(), source.column(), source.internalPointer());
}

QString FolderTreeModel::FilePath(const QModelIndex& index) const {
  if (!index.isValid() || IsTop(index)) return {};
  return source_->filePath(ToSource(index));
}

QModelIndex FolderTreeModel::IndexOf(const QString& path) const {
  const QModelIndex source = source_->index(path);
  if (!source.isValid() || !source_->isDir(source)) return {};
  return FromSource(source);
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column != 0) return {};
  if (!parent.isValid()) return row == 0 ? TopIndex() : QModelIndex();
  const QModelIndex sourceParent = IsTop(parent) ? QModelIndex() : ToSource(parent);
  return FromSource(source_->index(row, column, sourceParent));
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || IsTop(child)) return {};
  const QModelIndex sourceParent = ToSource(child).parent();
  if (!sourceParent.isValid()) return TopIndex();
  return FromSource(sourceParent.siblingAtColumn(0));
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return 1;
  if (parent.column() != 0) return 0;
  return source_->rowCount(IsTop(parent) ? QModelIndex() : ToSource(parent));
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid() || IsTop(parent)) return true;
  return source_->hasChildren(ToSource(parent));
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (IsTop(index)) {
    if (role == Qt::DisplayRole) return QStringLiteral("My Computer");
    if (role == Qt::DecorationRole) return QFileIconProvider().icon(QFileIconProvider::Computer);
    return {};
  }
  return source_->data(ToSource(index), role);
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  if (!parent.isValid()) return false;
  return source_->canFetchMore(IsTop(parent) ? QModelIndex() : ToSource(parent));
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  if (!parent.isValid()) return;
  source_->fetchMore(IsTop(parent) ? QModelIndex() : ToSource(parent));
}

void FolderTreeModel::ConnectSource() {
  // The source's top level hangs under the top item.
  auto mapParent = [this](const QModelIndex& sourceParent) {
    return sourceParent.isValid() ? FromSource(sourceParent) : TopIndex();
  };
  connect(source_, &QAbstractItemModel::rowsAboutToBeInserted, this,
          [=, this](const QModelIndex& p, int first, int last) {
            beginInsertRows(mapParent(p), first, last);
          });
  connect(source_, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
  connect(source_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [=, this](const QModelIndex& p, int first, int last) {
            beginRemoveRows(mapParent(p), first, last);
          });
  connect(source_, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
  connect(source_, &QAbstractItemModel::rowsAboutToBeMoved, this,
          [=, this](const QModelIndex& sp, int first, int last, const QModelIndex& dp, int row) {
            beginMoveRows(mapParent(sp), first, last, mapParent(dp), row);
          });
  connect(source_, &QAbstractItemModel::rowsMoved, this, [this] { endMoveRows(); });
  connect(source_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& tl, const QModelIndex& br, const QList<int>& roles) {
            if (tl.column() > 0) return;
            const QModelIndex a = FromSource(tl);
            const QModelIndex b = FromSource(br.siblingAtColumn(0));
            if (a.isValid() && b.isValid()) emit dataChanged(a, b, roles);
          });
  connect(source_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
  connect(source_, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
  // Sorting moves rows: remember every persistent proxy index by its source
  // and put it back where the source went.
  connect(source_, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] {
    emit layoutAboutToBeChanged();
    layoutProxies_ = persistentIndexList();
    layoutSources_.clear();
    for (const QModelIndex& proxy : layoutProxies_) layoutSources_.append(ToSource(proxy));
  });
  connect(source_, &QAbstractItemModel::layoutChanged, this, [this] {
    QModelIndexList to;
    for (int i = 0; i < layoutProxies_.size(); ++i) {
      to.append(IsTop(layoutProxies_[i]) ? layoutProxies_[i] : FromSource(layoutSources_[i]));
    }
    changePersistentIndexList(layoutProxies_, to);
    layoutProxies_.clear();
    layoutSources_.clear();
    emit layoutChanged();
  });
}

}  // namespace platform

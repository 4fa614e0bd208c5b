#pragma once
#include <QAbstractItemModel>
#include <QFileSystemModel>
#include <QList>
#include <QPersistentModelIndex>

// The folder tree of the shell namespace: one top item standing for
// "My Computer", which has no file-system path, and below it the file
// system's folders (folders only) as a QFileSystemModel lists them.
//
// The model is a thin proxy over a QFileSystemModel that it owns. A proxy
// index carries the source index's row, column and internal pointer; the top
// item carries a null pointer, which no valid source index has. Source
// signals are forwarded with the source's top level re-parented under the
// top item. Lives on the GUI thread.
namespace platform {

class FolderTreeModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  explicit FolderTreeModel(QObject* parent = nullptr);

  // The top item ("My Computer").
  QModelIndex TopIndex() const;
  // The file-system path of an item; empty for the top item and invalid ones.
  QString FilePath(const QModelIndex& index) const;
  // The item of a folder path (the file system's root included), or an
  // invalid index when the path is not a folder.
  QModelIndex IndexOf(const QString& path) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;

 signals:
  // The folders of path have been listed (the listing runs in the
  // background).
  void DirectoryLoaded(const QString& path);

 public:
  void fetchMore(const QModelIndex& parent) override;

 private:
  class SourceModel;

  QModelIndex ToSource(const QModelIndex& proxy) const;
  QModelIndex FromSource(const QModelIndex& source) const;
  bool IsTop(const QModelIndex& index) const;
  void ConnectSource();

  SourceModel* source_;
  QList<QPersistentModelIndex> layoutSources_;
  QModelIndexList layoutProxies_;
};

}  // namespace platform

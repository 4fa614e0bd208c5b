#pragma once
#include <QTreeView>

#include "platform/qt/FolderTreeModel.h"

// The shell folder tree: folders only, under the My Computer item. Owns its
// model; GUI thread.
class TShellTreeView : public QTreeView {
  Q_OBJECT
 public:
  explicit TShellTreeView(QWidget* parent);

  platform::FolderTreeModel* Model() const { return model_; }
  // The file-system path of the selected folder; empty for My Computer or
  // when nothing is selected.
  QString SelectedPath() const;
  // Selects the folder path (expanding its parents); false when the tree does
  // not know it as a folder.
  bool SelectPath(const QString& path);
  // Opens the branches down to a folder and scrolls to it without selecting
  // it, so the directory box is left alone. The folders are listed in the
  // background, so the scroll is repeated as the branches arrive.
  void RevealPath(const QString& path);

 signals:
  // The selection moved to another item.
  void Change();

 private:
  bool RevealNow();

  platform::FolderTreeModel* model_;
  QString reveal_;  // the folder being revealed while its branches load
};

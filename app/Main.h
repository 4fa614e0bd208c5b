#pragma once
#include <QLabel>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>

class QComboBox;
class QMenu;
class QPushButton;
class QSplitter;
class QTimer;
class TShellTreeView;
namespace platform {
class DirectorySource;
class Panel;
class StatusBar;
}  // namespace platform
namespace results {
class TStringGrid;
}

// The main window, Frmmain: every control of the program and its handlers.
//
// The constructor reads like the window's table of contents: the controls at
// their design places (MainLayout.cpp), then the wiring of their events. Each
// handler runs inside platform::Guard, so an error that escapes it goes to the
// default error report and never crosses Qt code. GUI thread only.
class TFrmmain : public QWidget {
  Q_OBJECT
 public:
  // source: where directory listings come from (the real file system unless
  // a test hands in another).
  explicit TFrmmain(platform::DirectorySource* source = nullptr, QWidget* parent = nullptr);
  ~TFrmmain() override;

  // Controls, under their designer names.
  platform::Panel* Panel1 = nullptr;
  platform::Panel* Panel4 = nullptr;
  QLabel* ImgJPEGAd = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* CBProjectDir = nullptr;
  QPushButton* BtnProcess = nullptr;
  QPushButton* BtnDelete = nullptr;
  QSplitter* Splitter1 = nullptr;
  platform::Panel* Panel3 = nullptr;
  TShellTreeView* ShellTreeView1 = nullptr;
  platform::Panel* Panel2 = nullptr;
  results::TStringGrid* StringGrid1 = nullptr;
  platform::StatusBar* StatusBar1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QTimer* Timer1 = nullptr;

  // Handlers of the window itself.
  void FormShow();
  void ShellTreeView1Change();
  // Returns true when the key was consumed (F1 never is).
  bool FormKeyDown(int key);

  // Lists dir (ending in the path delimiter) into the file table; returns the
  // number of files met. Pending messages are handled once per subdirectory.
  std::int32_t ScanDirectory(const std::string& dir);

 signals:
  // F1 was pressed, whichever control had the focus.
  void HelpRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ConnectEvents();
  void PlaceBanner();

  platform::DirectorySource* source_;
  bool ownsSource_;
  bool shown_ = false;
};

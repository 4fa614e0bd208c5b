#pragma once
#include <QElapsedTimer>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "analysis/FileTable.h"
#include "analysis/ProcessCommand.h"
#include "report/ReportWriter.h"
#include "app/Config.h"
#include "banner/BannerDisplay.h"
#include "platform/FileId.h"
#include "platform/Trash.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
namespace banner {
class TGifImage;
}
class AdImageLoader;
class THelpWindow;
class TOpenLink;
class TShellTreeView;
namespace platform {
class DirectorySource;
class GuiInvoker;
class ImageControl;
class Panel;
class StatusBar;
}  // namespace platform
namespace results {
class TStringGrid;
enum class CheckCommand;
}

// What the main window reaches outside itself; tests hand in their own.
struct TFrmmainEnvironment {
  // Where directory listings come from (the real file system when null).
  platform::DirectorySource* Source = nullptr;
  // The registry file (the user's own when empty).
  QString RegistryPath;
  // Sees the full path of each file before it is deleted and may refuse it
  // (false: the file stays and counts as not deleted); for tests. The
  // deletion itself always goes through the project directory's checks.
  std::function<bool(const std::string&)> DeleteFile;
  // The home Trash folder; platform::DefaultHomeTrash() when empty.
  std::string HomeTrash;
  // Opens a web address or mail link, and the file links of the grid's
  // Open commands; the desktop's opener when empty.
  std::function<void(const std::string&)> Opener;
  // What "~" in the directory box stands for; the user's home when empty.
  std::string HomeDirectory;
  // Where the help file's HTML counterpart lies; when empty, the program's
  // folder, then config::InstalledHelpDirectory relative to it.
  QString HelpDirectory;
  // The advertisement server.
  std::string AdServerHost = config::AdServerHost;
  int AdServerPort = 80;
  std::chrono::milliseconds AdTimeLimit{30000};
};

// Where Export list writes and in which format; an empty path: not at all.
struct TExportChoice {
  QString Path;
  report::TReportFormat Format = report::TReportFormat::Tsv;
};

// The main window, Frmmain: every control of the program and its handlers.
//
// The constructor reads like the window's table of contents: the controls at
// their design places (MainLayout.cpp), then the wiring of their events. Each
// handler runs inside platform::Guard, so an error that escapes it goes to the
// default error report and never crosses Qt code. GUI thread only.
//
// Its controls and handlers are its own: the program only creates and shows
// it, the banner loader reaches it as a BannerDisplay, and tests go through
// TFrmmainTestAccess (tests/support).
class TFrmmain : public QWidget, public banner::BannerDisplay {
  Q_OBJECT
 public:
  // environment: what the window reaches outside itself (tests hand in
  // their own).
  explicit TFrmmain(TFrmmainEnvironment environment = {}, QWidget* parent = nullptr);
  ~TFrmmain() override;

  // The banner loader's display step, on the window thread while it waits.
  void ShowBanner(bool isGif, const std::string& gifBytes, const TJpegImage* jpeg,
                  const std::string& linkUrl) override;

 signals:
  // F1 was pressed, whichever control had the focus.
  void HelpRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class TFrmmainTestAccess;

  // Controls, under their designer names.
  platform::Panel* Panel1 = nullptr;
  platform::Panel* Panel4 = nullptr;
  platform::ImageControl* ImgJPEGAd = nullptr;
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
  QAction* DeleteAll1 = nullptr;
  QAction* UncheckAll1 = nullptr;
  QAction* Restoreselectedstate1 = nullptr;
  QAction* N1 = nullptr;
  QAction* Delete1 = nullptr;
  // Beyond the classic menu: the keep list and the Trash.
  QAction* N2 = nullptr;
  QAction* Alwayskeep1 = nullptr;
  QAction* MovetoTrash1 = nullptr;
  QAction* Restorelastdeletion1 = nullptr;
  // The row actions, the filter and the export.
  QAction* N3 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Opencontainingfolder1 = nullptr;
  QAction* Copypath1 = nullptr;
  QAction* N4 = nullptr;
  QAction* Showcheckedrowsonly1 = nullptr;
  QAction* Exportlist1 = nullptr;
  // The find box below the grid (Ctrl+F), hidden until asked for.
  QWidget* PanelFind = nullptr;
  QLineEdit* EdtFind = nullptr;
  // A run's progress and its way out, on the status bar while it runs.
  QProgressBar* ProgressBar1 = nullptr;
  QPushButton* BtnCancel = nullptr;
  QTimer* Timer1 = nullptr;
  // The hidden glyph pictures on Panel2: unchecked normal, hot, pressed,
  // then checked normal, hot, pressed.
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QLabel* Image3 = nullptr;
  QLabel* Image4 = nullptr;
  QLabel* Image5 = nullptr;
  QLabel* Image6 = nullptr;

  // Shows the delete confirmation and returns its modal result (1 = OK).
  // FrmConfirm by default; tests answer it themselves.
  std::function<int()> ConfirmDelete;
  // Asks where Export list writes and in which format (an empty path: not
  // at all). A save dialog by default; tests answer it themselves.
  std::function<TExportChoice()> ChooseExportFile;
  static TExportChoice AskExportFile(QWidget* parent);

  // The GIF banner control, laid exactly over ImgJPEGAd.
  banner::TGifImage* GifAd = nullptr;
  // Worker threads and the help viewer. The threads free themselves.
  AdImageLoader* AdLoader = nullptr;
  TOpenLink* Link = nullptr;
  // Opens the grid's files and folders; never the banner's links.
  TOpenLink* FileLink = nullptr;
  THelpWindow* HelpWindow = nullptr;

  // Handlers of the window itself.
  void FormCreate();
  void FormShow();
  void FormClose();
  void ShellTreeView1Change();
  void Timer1Timer();
  // Returns true when the key was consumed (F1 never is).
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers, QWidget* focused);

  // Links, feedback and help.
  void SetLinkUrl(const std::string& url);
  void ImgAdClick();
  void StatusBar1Click();
  void ShowHelp();

  // The grid shows the file table.
  void FillGrid();

  // Settings and recent directories in the registry.
  void LoadSettings();
  void SaveSettings();
  // Makes dir the most recent directory and lists it in CBProjectDir when it
  // is new. Returns false, and throws nothing, when the registry could not be
  // opened, read or saved.
  bool UpdateRecentDirs(const std::string& dir);
  // What the next run leaves out and keeps: "ExcludeDirs" (the default list
  // when absent or unreadable; an empty text leaves out nothing).
  analysis::TScanOptions ReadScanOptions();
  // "DeleteMode": "trash" moves the checked files to the Trash; absent or
  // anything else deletes them outright.
  void LoadDeleteMode();
  void SaveDeleteMode();

  // The commands.
  void BtnProcessClick();
  void BtnDeleteClick();
  void DeleteAll1Click();
  void UncheckAll1Click();
  void Restoreselectedstate1Click();
  void Delete1Click();
  void Alwayskeep1Click();
  void MovetoTrash1Click();
  void Restorelastdeletion1Click();
  void BtnCancelClick();
  void Open1Click();
  void Opencontainingfolder1Click();
  void Copypath1Click();
  void Showcheckedrowsonly1Click();
  void Exportlist1Click();

  // The find box: shown with the focus in it, or hidden with the focus back
  // in the grid; FindRow moves the selection to the next row whose path
  // holds the box's text, from the focused row on (after it when next).
  void ShowFind();
  void HideFind();
  void FindRow(bool next);
  // True while a Process command runs; the Process and Delete commands are
  // held back then.
  bool Processing() const { return processing_; }

  void CreateControls();
  void ConnectEvents();
  void CreateGlyphImages();
  void CreatePopupMenu();
  void CreateFindBox();
  void CreateProgressControls();
  void SetProcessing(bool processing);
  void RunCheckCommand(results::CheckCommand command);
  // The count panel: how many rows are checked and their size.
  void ShowCheckedCount();
  // Shows the run's status text and progress now, or at most a few times a
  // second unless now.
  void ShowRunState(bool now);
  // The entry the row actions act on: the row the menu opened at, else the
  // focused row; 0 when there is none.
  std::int32_t ActionRow() const;
  void OpenFileLink(const std::string& path);
  // Restore last deletion is there only with files of a trash Delete to
  // bring back, in trash mode, outside a run.
  void EnableRestore();

  TFrmmainEnvironment env_;
  std::unique_ptr<platform::DirectorySource> ownSource_;
  std::unique_ptr<platform::GuiInvoker> invoker_;
  bool shown_ = false;
  bool processing_ = false;
  bool trashMode_ = false;
  // A run's cancellation, asked for by Esc or Cancel, and what it shows.
  bool cancelRequested_ = false;
  QElapsedTimer runClock_;
  std::string runStatus_;
  std::optional<analysis::TProgress> runProgress_;
  // The scan count of the last completed run, for Export list.
  std::int32_t lastScanCount_ = 0;
  // The files of this session's last trash Delete, with their entries, and
  // the project directory they were deleted from.
  struct TTrashedEntry {
    platform::TrashedFile File;
    analysis::TFileName Entry;
  };
  std::vector<TTrashedEntry> lastTrashed_;
  std::string lastTrashedProject_;
  platform::FileId lastTrashedProjectId_;
};

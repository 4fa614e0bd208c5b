// The Process command: from the directory in the box to the grid of files
// with the unused ones checked.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>

#include "analysis/FileTable.h"
#include "analysis/ProcessCommand.h"
#include "analysis/ReferenceAnalysis.h"
#include "app/FolderTree.h"
#include "app/Main.h"
#include "app/ProgressText.h"
#include "platform/AsciiText.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/qt/MessageBoxes.h"
#include "platform/qt/MessagePump.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"

using analysis::FileTable;

namespace {
constexpr const char* RecentDirsNotSavedText = "Recent directories not saved.";
// A run's status and progress are shown at most this often: per file they
// would flicker and cost more than the run.
constexpr qint64 RunStateIntervalMs = 250;
}

void TFrmmain::FillGrid() {
  StringGrid1->FillGrid();
  ShowCheckedCount();
}

// While a run is under way the window keeps handling messages; the Process
// and Delete commands and the check commands stay off (visibly disabled)
// until it has finished, so nothing changes the table under construction.
void TFrmmain::SetProcessing(bool processing) {
  processing_ = processing;
  BtnProcess->setEnabled(!processing);
  for (QAction* item : {DeleteAll1, UncheckAll1, Restoreselectedstate1, Delete1, Alwayskeep1,
                        Exportlist1}) {
    item->setEnabled(!processing);
  }
  EnableRestore();
  if (processing) BtnDelete->setEnabled(false);
  cancelRequested_ = false;
  runClock_.invalidate();
  runStatus_.clear();
  runProgress_.reset();
  // A run shows them once its directory has passed (BtnProcessClick).
  if (!processing) {
    ProgressBar1->hide();
    BtnCancel->hide();
  }
}

void TFrmmain::BtnCancelClick() {
  if (processing_) cancelRequested_ = true;
}

void TFrmmain::ShowRunState(bool now) {
  if (!now && runClock_.isValid() && runClock_.elapsed() < RunStateIntervalMs) return;
  runClock_.start();
  StatusBar1->SetPanelText(platform::StatusBar::MessagePanel, QString::fromLocal8Bit(runStatus_));
  if (!runProgress_) return;
  // Until the analysis knows how many files it reads, the bar stays empty
  // and tells the files found.
  const bool analysing = runProgress_->Phase == analysis::TProgress::TPhase::Analysis;
  const int total = analysing ? static_cast<int>(runProgress_->Total) : 1;
  ProgressBar1->setRange(0, std::max(total, 1));
  ProgressBar1->setValue(analysing ? static_cast<int>(runProgress_->Done) : 0);
  ProgressBar1->setFormat(QString::fromLocal8Bit(app::ProgressText(*runProgress_)));
}

void TFrmmain::BtnProcessClick() {
  if (processing_) return;
  CBProjectDir->setEnabled(false);
  SetProcessing(true);
  // Whatever way the command ends, the box comes back and the commands with it.
  struct Finish {
    TFrmmain* window;
    ~Finish() {
      window->SetProcessing(false);
      window->CBProjectDir->setEnabled(true);
    }
  } finish{this};

  const std::string typed = CBProjectDir->currentText().toLocal8Bit().toStdString();
  if (platform::IsBlankText(typed)) {
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  }
  // From here on the directory is the box's text as the user meant it (home
  // for "~", without the quotes of a pasted path), with its trailing
  // delimiter.
  const std::string home = env_.HomeDirectory.empty()
                               ? QDir::homePath().toLocal8Bit().toStdString()
                               : env_.HomeDirectory;
  const std::string dir =
      analysis::WithTrailingDelimiter(analysis::TypedDirectory(typed, home));
  if (dir != typed) CBProjectDir->setEditText(QString::fromLocal8Bit(dir));
  if (!platform::DirectoryExists(dir)) {
    platform::ShowMessage(QString::fromLatin1(analysis::InvalidDirectoryText),
                          QStringLiteral("error"));
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  }

  analysis::TProcessHooks hooks;
  hooks.ShowStatus = [this](const std::string& text) {
    runStatus_ = text;
    ShowRunState(false);
  };
  hooks.Progress = [this](const analysis::TProgress& progress) {
    runProgress_ = progress;
    ShowRunState(false);
  };
  hooks.Cancelled = [this] { return cancelRequested_; };
  hooks.ProcessMessages = platform::ProcessMessages;
  hooks.BeforeScan = [this, &dir] {
    // From here until FillGrid the table is being rebuilt: the grid shows no
    // rows, so it never pairs old names with new checks.
    StringGrid1->ShowNoRows();
    ShellTreeView1->SelectPath(QString::fromLocal8Bit(dir));
  };
  hooks.WarnTooManyFiles = [] {
    platform::ShowMessage(QString::fromLatin1(analysis::TooManyFilesText),
                          QStringLiteral("Warning"));
  };
  bool outsideCut = false;
  hooks.WarnOutsideCut = [&outsideCut] { outsideCut = true; };
  const analysis::TScanOptions options = ReadScanOptions();
  ProgressBar1->reset();
  ProgressBar1->show();
  BtnCancel->show();
  try {
    const std::int32_t count =
        analysis::ScanAndAnalyze(dir, FileTable, *env_.Source, hooks, options);
    lastScanCount_ = count;
    FillGrid();
    // A settings store that cannot be written costs the recent list only,
    // never the run.
    std::string status = analysis::FileCountText(count);
    if (outsideCut) status += std::string(analysis::OutsideLinksCutText) + ".  ";
    if (!UpdateRecentDirs(dir)) status += RecentDirsNotSavedText;
    StatusBar1->SetPanelText(platform::StatusBar::MessagePanel, QString::fromLocal8Bit(status));
  } catch (const analysis::RunCancelled&) {
    // The previous run's table is back, checks and all: so is its grid.
    FillGrid();
    StatusBar1->SetPanelText(platform::StatusBar::MessagePanel,
                             QString::fromLatin1(analysis::CancelledText));
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  } catch (const analysis::KeepListError& e) {
    // Read before the scan: the previous results are still whole and shown.
    // A run that ignored the list could offer what it keeps for deletion.
    platform::ShowMessage(QString::fromLocal8Bit(e.what()), QStringLiteral("error"));
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  } catch (...) {
    // A run that an error ended leaves no table behind that Delete could act
    // on: the half-analysed scan goes and the grid shows that.
    FileTable.Reset();
    FillGrid();
    throw;
  }
  BtnDelete->setEnabled(FileTable.FileCount > 0);
}

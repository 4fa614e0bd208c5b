// The Process command: from the directory in the box to the grid of files
// with the unused ones checked.
#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include "analysis/FileTable.h"
#include "analysis/ProcessCommand.h"
#include "analysis/ReferenceAnalysis.h"
#include "app/FolderTree.h"
#include "app/Main.h"
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
  for (QAction* item : {DeleteAll1, UncheckAll1, Restoreselectedstate1, Delete1, Alwayskeep1}) {
    item->setEnabled(!processing);
  }
  EnableRestore();
  if (processing) BtnDelete->setEnabled(false);
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
  // From here on the directory is the box's text with its trailing delimiter.
  const std::string dir = analysis::WithTrailingDelimiter(typed);
  if (dir != typed) CBProjectDir->setEditText(QString::fromLocal8Bit(dir));
  if (!platform::DirectoryExists(dir)) {
    platform::ShowMessage(QString::fromLatin1(analysis::InvalidDirectoryText),
                          QStringLiteral("error"));
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  }

  analysis::TProcessHooks hooks;
  hooks.ShowStatus = [this](const std::string& text) {
    StatusBar1->SetPanelText(platform::StatusBar::MessagePanel, QString::fromLocal8Bit(text));
  };
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
  try {
    const std::int32_t count =
        analysis::ScanAndAnalyze(dir, FileTable, *env_.Source, hooks, options);
    FillGrid();
    // A settings store that cannot be written costs the recent list only,
    // never the run.
    std::string status = analysis::FileCountText(count);
    if (outsideCut) status += std::string(analysis::OutsideLinksCutText) + ".  ";
    if (!UpdateRecentDirs(dir)) status += RecentDirsNotSavedText;
    StatusBar1->SetPanelText(platform::StatusBar::MessagePanel, QString::fromLocal8Bit(status));
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

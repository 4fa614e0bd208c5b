// The Process command: from the directory in the box to the grid of files
// with the unused ones checked.
#include <QAction>
#include <QComboBox>
#include <QPushButton>

#include "analysis/DirectoryScan.h"
#include "analysis/FileTable.h"
#include "analysis/ReferenceAnalysis.h"
#include "app/FolderTree.h"
#include "app/Main.h"
#include "platform/Attributes.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/MessagePump.h"
#include "platform/StatusBar.h"
#include "results/StringGrid.h"

using analysis::FileTable;

std::int32_t TFrmmain::ScanDirectory(const std::string& dir) {
  return analysis::ScanDirectory(dir, FileTable, *env_.Source, platform::ProcessMessages);
}

void TFrmmain::AnalyzeReferences(const std::string& pageExtension) {
  analysis::AnalyzeReferences(
      FileTable, pageExtension,
      [this](const std::string& text) { StatusBar1->SetPanelText(0, QString::fromLocal8Bit(text)); },
      platform::ProcessMessages);
}

void TFrmmain::FillGrid() { StringGrid1->FillGrid(); }

// While a run is under way the window keeps handling messages; the Process
// and Delete commands stay off (visibly disabled) until it has finished.
void TFrmmain::SetProcessing(bool processing) {
  processing_ = processing;
  BtnProcess->setEnabled(!processing);
  Delete1->setEnabled(!processing);
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

  QString text = CBProjectDir->currentText();
  if (text.trimmed().isEmpty()) {
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  }
  if (!text.endsWith(QChar::fromLatin1(platform::PathDelimiter))) {
    text += QChar::fromLatin1(platform::PathDelimiter);
    CBProjectDir->setEditText(text);
  }
  const std::string dir = text.toLocal8Bit().toStdString();
  if (!platform::DirectoryExists(dir)) {
    platform::ShowMessage(QStringLiteral("Invalid directory"), QStringLiteral("error"));
    BtnDelete->setEnabled(FileTable.FileCount > 0);
    return;
  }

  StatusBar1->SetPanelText(0, QStringLiteral("  Getting directory listing..."));
  FileTable.Reset();
  ShellTreeView1->SelectPath(text);

  try {
    const std::int32_t count = ScanDirectory(dir);
    if (count > analysis::MaxFiles) {
      platform::ShowMessage(QStringLiteral("Not all files can be processed"),
                            QStringLiteral("Warning"));
    }
    AnalyzeReferences(analysis::PageExtension);
    FillGrid();
    UpdateRecentDirs(dir);
    StatusBar1->SetPanelText(0, QStringLiteral("  %1 files.  ").arg(count));
  } catch (...) {
    // A run that an error ended leaves no table behind that Delete could act
    // on: the half-analysed scan goes and the grid shows that.
    FileTable.Reset();
    FillGrid();
    throw;
  }
  BtnDelete->setEnabled(FileTable.FileCount > 0);
}

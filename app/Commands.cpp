// The Delete command, the grid's pop-up commands, find, and the count of
// what Delete would take.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <sstream>

#include "analysis/FileTable.h"
#include "analysis/KeepList.h"
#include "analysis/KeepListFile.h"
#include "report/ReportWriter.h"
#include "app/Main.h"
#include "app/OpenLink.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "platform/ProjectDirectory.h"
#include "platform/qt/MessageBoxes.h"
#include "platform/qt/StatusBar.h"
#include "results/CheckedSummary.h"
#include "results/Deletion.h"
#include "results/RowSearch.h"
#include "results/qt/Confirm.h"
#include "results/qt/StringGrid.h"

using analysis::FileTable;

namespace {

void ShowStatusText(platform::StatusBar* bar, const std::string& text) {
  bar->SetPanelText(platform::StatusBar::MessagePanel, QString::fromLocal8Bit(text));
}

std::string RestoredText(std::int32_t restored, std::int32_t failed) {
  std::string text = "  " + std::to_string(restored) + (restored == 1 ? " file" : " files") +
                     " restored.";
  if (failed > 0) {
    text += "  " + std::to_string(failed) + (failed == 1 ? " file" : " files") +
            " could not be restored; still in the Trash.";
  }
  return text;
}

}  // namespace

void TFrmmain::BtnDeleteClick() {
  // Never on a table that a Process run has not finished.
  if (processing_) return;
  if (ConfirmDelete() != TFrmConfirm::mrOk) return;
  // Only the files that the scan listed, in the directory that it listed.
  const platform::ProjectDirectory project(FileTable.ProjectDirectory, FileTable.ProjectId);
  const bool toTrash = trashMode_;
  std::unique_ptr<platform::Trash> trash;
  std::vector<TTrashedEntry> trashed;
  if (toTrash) {
    trash = std::make_unique<platform::Trash>(env_.HomeTrash.empty() ? platform::DefaultHomeTrash()
                                                                     : env_.HomeTrash);
  }
  const results::TDeletionResult result =
      results::DeleteCheckedEntries(FileTable, [&](const analysis::TFileName& entry) {
        if (env_.DeleteFile && !env_.DeleteFile(entry.Directory + entry.Name)) return false;
        if (!toTrash) {
          return project.DeleteFile(entry.Directory, entry.Name, entry.Id, entry.Stamp);
        }
        // A file no Trash on its own file system takes stays where it is.
        std::optional<platform::TrashedFile> moved =
            trash->MoveToTrash(project, entry.Directory, entry.Name, entry.Id, entry.Stamp);
        if (!moved) return false;
        trashed.push_back({std::move(*moved), entry});
        return true;
      });
  if (toTrash && !trashed.empty()) {
    lastTrashed_ = std::move(trashed);
    lastTrashedProject_ = FileTable.ProjectDirectory;
    lastTrashedProjectId_ = FileTable.ProjectId;
  }
  FillGrid();
  EnableRestore();
  ShowStatusText(StatusBar1, results::DeletionDoneText(result.Deleted, result.Failed, toTrash));
}

void TFrmmain::Delete1Click() { BtnDeleteClick(); }

void TFrmmain::RunCheckCommand(results::CheckCommand command) {
  // The checks belong to the finished run; a run under way rebuilds them.
  if (processing_) return;
  const auto [top, bottom] = StringGrid1->SelectedRows();
  // A selection spans the rows the filter hides; they are not the user's
  // choice and keep their checks.
  results::RowShown shown;
  if (StringGrid1->CheckedOnly()) shown = [this](std::int32_t r) { return StringGrid1->RowShown(r); };
  results::ApplyCheckCommand(FileTable, top, bottom, command, shown);
  StringGrid1->RepaintGlyphs();
  ShowCheckedCount();
}

void TFrmmain::DeleteAll1Click() { RunCheckCommand(results::CheckCommand::CheckAll); }
void TFrmmain::UncheckAll1Click() { RunCheckCommand(results::CheckCommand::UncheckAll); }
void TFrmmain::Restoreselectedstate1Click() { RunCheckCommand(results::CheckCommand::Restore); }

void TFrmmain::ShowCheckedCount() {
  const results::TCheckedSummary summary = results::SummarizeChecked(FileTable);
  StatusBar1->SetPanelText(
      platform::StatusBar::CountPanel,
      QStringLiteral("  %1  ").arg(QString::fromLatin1(results::CheckedSummaryText(summary))));
}

void TFrmmain::EnableRestore() {
  Restorelastdeletion1->setEnabled(trashMode_ && !processing_ && !lastTrashed_.empty());
}

// Appends one line per selected row to the project's keep list; only when
// the list was written do the rows change.
void TFrmmain::Alwayskeep1Click() {
  if (processing_ || FileTable.FileCount == 0) return;
  const auto [top, bottom] = StringGrid1->SelectedRows();
  const std::string& project = FileTable.ProjectDirectory;
  std::vector<std::int32_t> rows;
  std::vector<std::string> paths;
  for (std::int32_t r = std::max(top, 1); r <= bottom && r <= StringGrid1->ShownCount(); ++r) {
    if (!StringGrid1->RowShown(r)) continue;
    const analysis::TFileName& entry = FileTable[r];
    if (entry.Directory.compare(0, project.size(), project) != 0) continue;
    rows.push_back(r);
    paths.push_back(entry.Directory.substr(project.size()) + entry.Name);
  }
  if (rows.empty()) return;
  const std::string listPath = analysis::KeepListPathFor(project, {});
  int line = 0;
  try {
    line = analysis::AppendToKeepList(listPath, paths);
  } catch (const analysis::KeepListError& e) {
    platform::ShowMessage(QString::fromLocal8Bit(e.what()), QStringLiteral("error"));
    return;
  }
  for (std::int32_t r : rows) analysis::MarkKept(FileTable, r, analysis::KeepListName, line++);
  FillGrid();
  StringGrid1->SelectRows(top, bottom);
}

void TFrmmain::MovetoTrash1Click() {
  trashMode_ = MovetoTrash1->isChecked();
  SaveDeleteMode();
  EnableRestore();
}

// Brings the last trash Delete's files back; a name that is taken again
// keeps its file, and the trashed one stays in the Trash.
void TFrmmain::Restorelastdeletion1Click() {
  if (processing_ || !trashMode_ || lastTrashed_.empty()) return;
  const platform::ProjectDirectory project(lastTrashedProject_, lastTrashedProjectId_);
  const platform::Trash trash(env_.HomeTrash.empty() ? platform::DefaultHomeTrash()
                                                     : env_.HomeTrash);
  // Restored files come back into the table when it still lists that
  // project, unchecked: the user has just asked for them.
  const bool sameTable = FileTable.ProjectDirectory == lastTrashedProject_ &&
                         FileTable.ProjectId == lastTrashedProjectId_;
  std::int32_t restored = 0;
  std::vector<TTrashedEntry> left;
  for (TTrashedEntry& item : lastTrashed_) {
    platform::FileStamp stamp;
    if (!trash.Restore(project, item.File, &stamp)) {
      left.push_back(std::move(item));
      continue;
    }
    ++restored;
    if (sameTable && FileTable.Append(item.Entry.Name, item.Entry.Directory)) {
      FileTable[FileTable.FileCount] = item.Entry;
      FileTable[FileTable.FileCount].Checked = 0;
      FileTable[FileTable.FileCount].Stamp = stamp;
    }
  }
  const auto failed = static_cast<std::int32_t>(left.size());
  lastTrashed_ = std::move(left);
  FillGrid();
  EnableRestore();
  ShowStatusText(StatusBar1, RestoredText(restored, failed));
}

std::int32_t TFrmmain::ActionRow() const {
  const int menuRow = StringGrid1->MenuRow();
  const std::int32_t row = menuRow != 0 ? menuRow : StringGrid1->FocusedRow();
  return row >= 1 && row <= StringGrid1->ShownCount() ? row : 0;
}

// Through the desktop's opener on its own thread, as links are opened: a slow
// program never holds up the window.
void TFrmmain::OpenFileLink(const std::string& path) {
  FileLink->SetUrl(platform::FileLink(path));
  FileLink->Resume();
}

void TFrmmain::Open1Click() {
  if (const std::int32_t row = ActionRow(); row != 0) {
    OpenFileLink(FileTable[row].Directory + FileTable[row].Name);
  }
}

void TFrmmain::Opencontainingfolder1Click() {
  if (const std::int32_t row = ActionRow(); row != 0) OpenFileLink(FileTable[row].Directory);
}

void TFrmmain::Copypath1Click() {
  if (const std::int32_t row = ActionRow(); row != 0) {
    QGuiApplication::clipboard()->setText(
        QString::fromLocal8Bit(FileTable[row].Directory + FileTable[row].Name));
  }
}

void TFrmmain::Showcheckedrowsonly1Click() {
  StringGrid1->SetCheckedOnly(Showcheckedrowsonly1->isChecked());
}

TExportChoice TFrmmain::AskExportFile(QWidget* parent) {
  const QString tsv = QStringLiteral("Tab-separated values (*.tsv)");
  const QString json = QStringLiteral("JSON (*.json)");
  QString chosen;
  TExportChoice choice;
  // The dialog starts in the user's home, never in whatever folder the
  // program was started from.
  choice.Path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export list"), QDir::homePath(),
                                             tsv + QStringLiteral(";;") + json, &chosen);
  if (choice.Path.isEmpty()) return choice;
  // The name's extension decides; without one, the chosen filter does and
  // lends the name its extension.
  if (choice.Path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) {
    choice.Format = report::TReportFormat::Json;
  } else if (!choice.Path.endsWith(QStringLiteral(".tsv"), Qt::CaseInsensitive)) {
    const bool asJson = chosen == json;
    choice.Format = asJson ? report::TReportFormat::Json : report::TReportFormat::Tsv;
    choice.Path += asJson ? QStringLiteral(".json") : QStringLiteral(".tsv");
  }
  return choice;
}

// The whole table as quilmere-report --why writes it, with the last run's
// count of files met; the file is replaced only once the text is whole.
void TFrmmain::Exportlist1Click() {
  if (processing_) return;
  const TExportChoice choice = ChooseExportFile();
  if (choice.Path.isEmpty()) return;
  std::ostringstream text;
  report::WriteReport(text, FileTable.ProjectDirectory, FileTable, lastScanCount_,
                        choice.Format, true);
  const std::string path = choice.Path.toLocal8Bit().toStdString();
  try {
    platform::ReplaceFile(path, text.str());
  } catch (const platform::IoError& e) {
    platform::ShowMessage(QString::fromLocal8Bit(e.what()), QStringLiteral("error"));
    return;
  }
  ShowStatusText(StatusBar1, "  List exported to " + path + ".");
}

void TFrmmain::ShowFind() {
  PanelFind->show();
  EdtFind->setFocus();
  EdtFind->selectAll();
}

void TFrmmain::HideFind() {
  PanelFind->hide();
  StringGrid1->setFocus();
}

void TFrmmain::FindRow(bool next) {
  const std::string text = EdtFind->text().toLocal8Bit().toStdString();
  if (text.empty()) return;
  const std::int32_t count = StringGrid1->ShownCount();
  std::int32_t first = std::max(StringGrid1->FocusedRow(), 1) + (next ? 1 : 0);
  if (first > count) first = 1;
  const std::int32_t row = results::FindRow(
      FileTable, count, first, text, [this](std::int32_t r) { return StringGrid1->RowShown(r); });
  if (row == 0) {
    ShowStatusText(StatusBar1, "  No path holds \"" + text + "\".");
    return;
  }
  StringGrid1->GoToRow(row);
}

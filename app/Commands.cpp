// The Delete command and the grid's pop-up commands.
#include <QAction>
#include <QPushButton>

#include "analysis/FileTable.h"
#include "app/Main.h"
#include "platform/ProjectDirectory.h"
#include "platform/qt/StatusBar.h"
#include "results/Deletion.h"
#include "results/qt/Confirm.h"
#include "results/qt/StringGrid.h"

using analysis::FileTable;

void TFrmmain::BtnDeleteClick() {
  // Never on a table that a Process run has not finished.
  if (processing_) return;
  if (ConfirmDelete() != TFrmConfirm::mrOk) return;
  // Only the files that the scan listed, in the directory that it listed.
  const platform::ProjectDirectory project(FileTable.ProjectDirectory, FileTable.ProjectId);
  const results::TDeletionResult result =
      results::DeleteCheckedEntries(FileTable, [&](const analysis::TFileName& entry) {
        if (env_.DeleteFile && !env_.DeleteFile(entry.Directory + entry.Name)) return false;
        return project.DeleteFile(entry.Directory, entry.Name, entry.Id);
      });
  FillGrid();
  if (result.Failed > 0) {
    StatusBar1->SetPanelText(platform::StatusBar::MessagePanel,
                             QString::fromLatin1(results::DeletionFailureText(result.Failed)));
  }
}

void TFrmmain::Delete1Click() { BtnDeleteClick(); }

void TFrmmain::RunCheckCommand(results::CheckCommand command) {
  // The checks belong to the finished run; a run under way rebuilds them.
  if (processing_) return;
  const auto [top, bottom] = StringGrid1->SelectedRows();
  results::ApplyCheckCommand(FileTable, top, bottom, command);
  StringGrid1->RepaintGlyphs();
}

void TFrmmain::DeleteAll1Click() { RunCheckCommand(results::CheckCommand::CheckAll); }
void TFrmmain::UncheckAll1Click() { RunCheckCommand(results::CheckCommand::UncheckAll); }
void TFrmmain::Restoreselectedstate1Click() { RunCheckCommand(results::CheckCommand::Restore); }

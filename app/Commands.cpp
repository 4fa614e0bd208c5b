// The Delete command and the grid's pop-up commands.
#include <QAction>
#include <QPushButton>

#include "analysis/FileTable.h"
#include "app/Main.h"
#include "results/Deletion.h"
#include "results/StringGrid.h"

using analysis::FileTable;

void TFrmmain::BtnDeleteClick() {
  // Never on a table that a Process run has not finished.
  if (processing_) return;
  if (ConfirmDelete() != 1) return;
  results::DeleteCheckedEntries(FileTable, env_.DeleteFile);
  FillGrid();
}

void TFrmmain::Delete1Click() { BtnDeleteClick(); }

namespace {
void RunCheckCommand(results::TStringGrid* grid, results::CheckCommand command) {
  const auto [top, bottom] = grid->SelectedRows();
  results::ApplyCheckCommand(FileTable, top, bottom, command);
  grid->RepaintGlyphs();
}
}  // namespace

void TFrmmain::DeleteAll1Click() { RunCheckCommand(StringGrid1, results::CheckCommand::CheckAll); }
void TFrmmain::UncheckAll1Click() { RunCheckCommand(StringGrid1, results::CheckCommand::UncheckAll); }
void TFrmmain::Restoreselectedstate1Click() {
  RunCheckCommand(StringGrid1, results::CheckCommand::Restore);
}

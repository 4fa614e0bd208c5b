#pragma once
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QString>

// The replace-file dialog: asks whether an existing file may be replaced,
// or lets the user pick another name. One instance, CanSaveDialog, lives
// from start-up to exit without an owner; nothing in the program shows it.
namespace gif {

class TCanSaveDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TCanSaveDialog(QWidget* owner = nullptr);

  // The file the dialog is about; "Change filename" replaces it with the
  // user's choice.
  QString FileName;

  QLabel* FilenameLabel = nullptr;
  QLabel* QuestionLabel = nullptr;
  QLabel* Picture = nullptr;
  QPushButton* YesButton = nullptr;
  QPushButton* NoButton = nullptr;
  QPushButton* SaveAsButton = nullptr;
  QFileDialog* SaveDialog = nullptr;

  void YesButtonClick();
  void NoButtonClick();
  // Runs SaveDialog on FileName: confirmed -> modal result 1 with the chosen
  // name in FileName; cancelled -> modal result 3.
  void SaveAsButtonClick();

 private:
  void CreateControls();
  void ConnectEvents();
};

// The one instance (none before start-up and after exit).
extern TCanSaveDialog* CanSaveDialog;

}  // namespace gif

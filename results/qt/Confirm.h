#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The delete confirmation, FrmConfirm: created once at start-up, hidden
// between uses and shown modally for each Delete command. OK ends it with
// modal result 1, Cancel and the title bar's close button with 2. Neither
// button is the dialog's default or cancel button: Enter and Space press the
// focused button, Esc does nothing. A later opening keeps the focus on the
// button that had it when the dialog last closed. GUI thread only.
class TFrmConfirm : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmConfirm(QWidget* parent = nullptr);

  static constexpr int mrOk = 1;
  static constexpr int mrCancel = 2;

  QLabel* Label1;
  QPushButton* BtnOk;
  QPushButton* BtnCancel;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
};

// The one confirmation dialog, made at start-up right after the main window.
extern TFrmConfirm* FrmConfirm;

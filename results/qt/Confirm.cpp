#include "results/qt/Confirm.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "platform/qt/DesignUnits.h"

using platform::Du;

TFrmConfirm* FrmConfirm = nullptr;

TFrmConfirm::TFrmConfirm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Confirm delete"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Du(this, 13));
  setFont(font);
  setFixedSize(Du(this, 333), Du(this, 126));

  Label1 = new QLabel(QStringLiteral("This will delete all of selected files. Are you sure?"), this);
  Label1->setGeometry(Du(this, 16), Du(this, 32), Du(this, 289), Du(this, 16));
  Label1->setMinimumWidth(Label1->sizeHint().width());

  BtnOk = new QPushButton(QStringLiteral("&OK"), this);
  BtnOk->setGeometry(Du(this, 64), Du(this, 80), Du(this, 75), Du(this, 25));
  BtnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  BtnCancel->setGeometry(Du(this, 200), Du(this, 80), Du(this, 75), Du(this, 25));
  for (QPushButton* button : {BtnOk, BtnCancel}) {
    button->setDefault(false);
    button->setAutoDefault(true);  // Enter presses the button with the focus
  }
  setTabOrder(BtnOk, BtnCancel);
  BtnOk->setFocus();
  connect(BtnOk, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(BtnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

  if (const QScreen* screen = this->screen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TFrmConfirm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

// Closing from the title bar ends the dialog as Cancel does.
void TFrmConfirm::reject() { done(mrCancel); }

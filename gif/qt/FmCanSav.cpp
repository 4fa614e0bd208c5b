#include "gif/qt/FmCanSav.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace gif {

TCanSaveDialog* CanSaveDialog = nullptr;

TCanSaveDialog::TCanSaveDialog(QWidget* owner) : QDialog(owner) {
  CreateControls();
  ConnectEvents();
}

void TCanSaveDialog::CreateControls() {
  setWindowTitle("Save");
  setModal(true);

  Picture = new QLabel(this);
  Picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  FilenameLabel = new QLabel("filename already exists.", this);
  FilenameLabel->setObjectName("FilenameLabel");
  QuestionLabel = new QLabel("Do you want to replace it?", this);
  YesButton = new QPushButton("&Yes", this);
  NoButton = new QPushButton("&No", this);
  SaveAsButton = new QPushButton("&Change filename", this);
  SaveAsButton->setObjectName("SaveAsButton");

  SaveDialog = new QFileDialog(this);
  SaveDialog->setObjectName("SaveDialog");
  SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog->setFileMode(QFileDialog::AnyFile);
  // Asks before overwriting (Qt's default for save dialogs).
  SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);

  auto* texts = new QVBoxLayout;
  texts->addWidget(FilenameLabel);
  texts->addWidget(QuestionLabel);
  auto* top = new QHBoxLayout;
  top->addWidget(Picture, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(YesButton);
  buttons->addWidget(NoButton);
  buttons->addWidget(SaveAsButton);
  auto* all = new QVBoxLayout(this);
  all->addLayout(top);
  all->addLayout(buttons);
  all->setSizeConstraint(QLayout::SetFixedSize);

  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    adjustSize();
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TCanSaveDialog::ConnectEvents() {
  connect(YesButton, &QPushButton::clicked, this, &TCanSaveDialog::YesButtonClick);
  connect(NoButton, &QPushButton::clicked, this, &TCanSaveDialog::NoButtonClick);
  connect(SaveAsButton, &QPushButton::clicked, this, &TCanSaveDialog::SaveAsButtonClick);
}

void TCanSaveDialog::YesButtonClick() { done(1); }
void TCanSaveDialog::NoButtonClick() { done(3); }

void TCanSaveDialog::SaveAsButtonClick() {
  SaveDialog->selectFile(FileName);
  if (SaveDialog->exec() == QDialog::Accepted && !SaveDialog->selectedFiles().isEmpty()) {
    const QString chosen = SaveDialog->selectedFiles().first();
    // The path must exist: a name in a missing folder counts as cancelled.
    if (QFileInfo(chosen).absoluteDir().exists()) {
      FileName = chosen;
      done(1);
      return;
    }
  }
  done(3);
}

}  // namespace gif

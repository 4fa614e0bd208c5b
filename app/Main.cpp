#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "app/Config.h"
#include "app/FolderTree.h"
#include "app/HelpWindow.h"
#include "app/OpenLink.h"
#include "app/Shortcuts.h"
#include "banner/qt/AdImage.h"
#include "banner/qt/GifImgs.h"
#include "banner/qt/JpegImage.h"
#include "gif/Streams.h"
#include "platform/Attributes.h"
#include "platform/DirectoryListing.h"
#include "platform/FileSystem.h"
#include "platform/qt/ErrorReport.h"
#include "platform/qt/GuiInvoker.h"
#include "platform/qt/ImageControl.h"
#include "platform/qt/Panel.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/Confirm.h"
#include "results/qt/StringGrid.h"

TFrmmain::TFrmmain(TFrmmainEnvironment environment, QWidget* parent)
    : QWidget(parent), env_(std::move(environment)) {
  if (env_.Source == nullptr) {
    ownSource_ = std::make_unique<platform::PosixDirectorySource>();
    env_.Source = ownSource_.get();
  }
  ConfirmDelete = [this] {
    if (FrmConfirm == nullptr) FrmConfirm = new TFrmConfirm(this);
    return FrmConfirm->exec();
  };
  ChooseExportFile = [this] { return AskExportFile(this); };
  CreateControls();
  CreateGlyphImages();
  CreatePopupMenu();
  CreateFindBox();
  CreateProgressControls();
  ConnectEvents();
  FormCreate();
}

// FormDestroy: the worker threads are asked to end; the window waits for
// none of them.
TFrmmain::~TFrmmain() {
  qApp->removeEventFilter(this);
  Timer1->stop();
  // No banner is shown from here on; the loader ends its exchange and goes
  // (it frees itself), waited for a short bounded time at most.
  invoker_->Close();
  if (AdLoader != nullptr) {
    AdLoader->Shutdown(std::chrono::seconds(2));
    AdLoader = nullptr;
  }
  for (TOpenLink** opener : {&Link, &FileLink}) {
    if (*opener == nullptr) continue;
    // It frees itself: the wake-up lets it see the request and end without
    // opening anything; nothing touches it afterwards.
    (*opener)->Terminate();
    (*opener)->Resume();
    *opener = nullptr;
  }
}

void TFrmmain::FormCreate() {
  GifAd = new banner::TGifImage(Panel4);
  GifAd->setObjectName(QStringLiteral("GifAd"));
  GifAd->setGeometry(ImgJPEGAd->geometry());
  GifAd->setCursor(Qt::PointingHandCursor);
  connect(GifAd, &platform::ImageControl::Clicked, this,
          [this] { platform::Guard([this] { ImgAdClick(); }); });

  // The first download cycle starts at once.
  invoker_ = std::make_unique<platform::GuiInvoker>();
  AdLoader = new AdImageLoader(this, env_.AdServerHost, env_.AdServerPort, config::DefaultLinkUrl,
                               env_.AdTimeLimit);
  AdLoader->SetPriority(platform::ThreadPriority::BelowNormal);
  AdLoader->SetFreeOnTerminate(true);
  AdLoader->SetSynchronizer(invoker_->Synchronizer());
  AdLoader->Resume();
  Link = env_.Opener ? new TOpenLink(env_.Opener) : new TOpenLink();
  Link->SetPriority(platform::ThreadPriority::BelowNormal);
  Link->SetFreeOnTerminate(true);
  Link->SetUrl(config::DefaultLinkUrl);
  constexpr TOpenLink::TLinkKind files = TOpenLink::TLinkKind::Files;
  FileLink = new TOpenLink(env_.Opener ? env_.Opener : TOpenLink::DefaultOpener(files), files);
  FileLink->SetPriority(platform::ThreadPriority::BelowNormal);
  FileLink->SetFreeOnTerminate(true);
}

// Every handler runs inside Guard: what escapes it goes to the error report.
void TFrmmain::ConnectEvents() {
  auto bind = [this](auto* sender, auto signal, void (TFrmmain::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { platform::Guard([&] { (this->*handler)(); }); });
  };
  bind(ShellTreeView1, &TShellTreeView::Change, &TFrmmain::ShellTreeView1Change);
  bind(BtnProcess, &QPushButton::clicked, &TFrmmain::BtnProcessClick);
  bind(BtnDelete, &QPushButton::clicked, &TFrmmain::BtnDeleteClick);
  bind(DeleteAll1, &QAction::triggered, &TFrmmain::DeleteAll1Click);
  bind(UncheckAll1, &QAction::triggered, &TFrmmain::UncheckAll1Click);
  bind(Restoreselectedstate1, &QAction::triggered, &TFrmmain::Restoreselectedstate1Click);
  bind(Delete1, &QAction::triggered, &TFrmmain::Delete1Click);
  bind(Alwayskeep1, &QAction::triggered, &TFrmmain::Alwayskeep1Click);
  bind(MovetoTrash1, &QAction::triggered, &TFrmmain::MovetoTrash1Click);
  bind(Restorelastdeletion1, &QAction::triggered, &TFrmmain::Restorelastdeletion1Click);
  bind(Open1, &QAction::triggered, &TFrmmain::Open1Click);
  bind(Opencontainingfolder1, &QAction::triggered, &TFrmmain::Opencontainingfolder1Click);
  bind(Copypath1, &QAction::triggered, &TFrmmain::Copypath1Click);
  bind(Showcheckedrowsonly1, &QAction::triggered, &TFrmmain::Showcheckedrowsonly1Click);
  bind(Exportlist1, &QAction::triggered, &TFrmmain::Exportlist1Click);
  bind(BtnCancel, &QPushButton::clicked, &TFrmmain::BtnCancelClick);
  // Typing searches from the focused row on; Enter and F3 go to the next.
  connect(EdtFind, &QLineEdit::textEdited, this,
          [this] { platform::Guard([this] { FindRow(false); }); });
  bind(StringGrid1, &results::TStringGrid::CheckToggled, &TFrmmain::ShowCheckedCount);
  bind(ImgJPEGAd, &platform::ImageControl::Clicked, &TFrmmain::ImgAdClick);
  bind(StatusBar1, &platform::StatusBar::Clicked, &TFrmmain::StatusBar1Click);
  bind(Timer1, &QTimer::timeout, &TFrmmain::Timer1Timer);
  // The window sees key presses before the focused control does.
  qApp->installEventFilter(this);
}

void TFrmmain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  platform::Guard([this] { FormShow(); });
}

void TFrmmain::closeEvent(QCloseEvent* event) {
  platform::Guard([this] { FormClose(); });
  QWidget::closeEvent(event);
}

bool TFrmmain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  // Every key press is filtered once per object it passes on its way up;
  // take it where it is first delivered: the focused control of this window,
  // or the window itself when no control has the focus (the one that had it
  // was disabled for a run, say).
  QWidget* const focused = QApplication::focusWidget();
  const bool firstDelivery = focused != nullptr ? widget == focused : widget == this;
  if (widget == nullptr || widget->window() != this || !firstDelivery) {
    return QWidget::eventFilter(watched, event);
  }
  const auto* keyEvent = static_cast<QKeyEvent*>(event);
  const int key = keyEvent->key();
  bool consumed = false;
  platform::Guard([&] { consumed = FormKeyDown(key, keyEvent->modifiers(), widget); });
  if (consumed) return true;
  // Enter presses the default button unless a button has the focus.
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !qobject_cast<QPushButton*>(widget)) {
    if (BtnProcess->isEnabled()) BtnProcess->click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmmain::FormShow() {
  StatusBar1->SetPanelText(platform::StatusBar::FeedbackPanel,
                           QStringLiteral("Send feedback to: ") +
                               QString::fromLatin1(config::FeedbackAddress) +
                               QStringLiteral("     "));
  StatusBar1->SetPanelText(platform::StatusBar::MessagePanel,
                           QStringLiteral("  Press F1 for help."));
  StringGrid1->SetCell(0, 0, QStringLiteral("Unused"));
  StringGrid1->SetCell(1, 0, QStringLiteral("Directory"));
  StringGrid1->SetCell(2, 0, QStringLiteral("File name"));
  LoadDeleteMode();
  LoadSettings();
}

void TFrmmain::FormClose() {
  // A run goes on only for the window that shows it: closing ends it at the
  // next message, as Cancel does.
  BtnCancelClick();
  SaveSettings();
}

void TFrmmain::ShellTreeView1Change() {
  // The Process command moves the tree to its directory; the box keeps the
  // directory as the command validated it.
  if (processing_) return;
  std::string path = ShellTreeView1->SelectedPath().toLocal8Bit().toStdString();
  // Items without a file-system path (My Computer) leave the box as it was.
  if (path.empty() || !platform::DirectoryExists(path)) return;
  while (path.size() > 1 && path.back() == platform::PathDelimiter) path.pop_back();
  CBProjectDir->setEditText(QString::fromLocal8Bit(path));
}

namespace {

// True when key with modifiers is the shortcut written as text.
bool IsShortcut(int key, Qt::KeyboardModifiers modifiers, const char* text) {
  // The keypad's Enter is Enter; the keypad flag is no modifier of its own.
  if (key == Qt::Key_Return) key = Qt::Key_Enter;
  modifiers &= ~Qt::KeypadModifier;
  return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key))) ==
         QKeySequence::fromString(QString::fromLatin1(text));
}

}  // namespace

bool TFrmmain::FormKeyDown(int key, Qt::KeyboardModifiers modifiers, QWidget* focused) {
  if (IsShortcut(key, modifiers, shortcuts::Help)) {
    emit HelpRequested();
    ShowHelp();
    return false;
  }
  if (IsShortcut(key, modifiers, shortcuts::Cancel)) {
    if (processing_) {
      BtnCancelClick();
      return true;
    }
    if (!PanelFind->isHidden()) {
      HideFind();
      return true;
    }
    return false;
  }
  if (IsShortcut(key, modifiers, shortcuts::Find)) {
    ShowFind();
    return true;
  }
  if (IsShortcut(key, modifiers, shortcuts::FindNext) ||
      (focused == EdtFind && IsShortcut(key, modifiers, shortcuts::Process))) {
    if (EdtFind->text().isEmpty()) {
      ShowFind();
    } else {
      FindRow(true);
    }
    return true;
  }
  return false;
}

// Wakes the banner loader for its next cycle when it is idle; a tick during a
// cycle is lost, so cycles never overlap.
void TFrmmain::Timer1Timer() { AdLoader->WakeIfIdle(); }

void TFrmmain::ShowBanner(bool isGif, const std::string& gifBytes, const TJpegImage* jpeg,
                          const std::string& linkUrl) {
  const QString hint = QString::fromLocal8Bit(linkUrl);
  GifAd->hide();
  ImgJPEGAd->hide();
  if (isGif) {
    gif::TByteViewStream stream(gifBytes.data(), gifBytes.size());
    GifAd->LoadFromStream(stream);
    GifAd->SetAnimating(true);
    GifAd->setToolTip(hint);
    GifAd->show();
  } else {
    // The pixels are decoded when the picture is first drawn.
    ImgJPEGAd->SetPicture([picture = *jpeg] { return picture.ToImage(); });
    ImgJPEGAd->setToolTip(hint);
    ImgJPEGAd->show();
  }
  SetLinkUrl(linkUrl);
}

void TFrmmain::SetLinkUrl(const std::string& url) { Link->SetUrl(url); }

// A click while the previous open is still under way is ignored.
void TFrmmain::ImgAdClick() {
  if (Link->Suspended()) Link->Resume();
}

void TFrmmain::StatusBar1Click() {
  Link->SetUrl(FeedbackLinkUrl());
  Link->Resume();
}

// The window names its own help file; the viewer shows its HTML counterpart
// from the top. Whether the file is there is the viewer's business.
void TFrmmain::ShowHelp() {
  if (HelpWindow == nullptr) HelpWindow = new THelpWindow(this);
  const QStringList directories =
      env_.HelpDirectory.isEmpty()
          ? THelpWindow::ProgramHelpDirectories(
                QCoreApplication::applicationDirPath(),
                QString::fromLatin1(config::InstalledHelpDirectory))
          : QStringList{env_.HelpDirectory};
  const QString page =
      THelpWindow::FindHelpFile(directories, QString::fromLatin1(config::WindowHelpFile));
  if (!HelpWindow->ShowContents(page)) {
    HelpWindow->ShowMissing(QString::fromLatin1(config::WindowHelpFile),
                            directories.join(QStringLiteral(" or ")));
  }
}

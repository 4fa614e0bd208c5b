#include "app/Main.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>

#include "analysis/DirectoryScan.h"
#include "analysis/FileTable.h"
#include "app/Config.h"
#include "app/FolderTree.h"
#include "platform/Attributes.h"
#include "platform/DirectoryListing.h"
#include "platform/ErrorReport.h"
#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/StatusBar.h"
#include "results/StringGrid.h"

TFrmmain::TFrmmain(platform::DirectorySource* source, QWidget* parent)
    : QWidget(parent),
      source_(source ? source : new platform::PosixDirectorySource),
      ownsSource_(source == nullptr) {
  CreateControls();
  ConnectEvents();
}

TFrmmain::~TFrmmain() {
  qApp->removeEventFilter(this);
  if (ownsSource_) delete source_;
}

void TFrmmain::ConnectEvents() {
  connect(ShellTreeView1, &TShellTreeView::Change, this,
          [this] { platform::Guard([this] { ShellTreeView1Change(); }); });
  // The window sees key presses before the focused control does.
  qApp->installEventFilter(this);
}

void TFrmmain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  platform::Guard([this] { FormShow(); });
}

bool TFrmmain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  // Every key press is filtered once per object it passes on its way up;
  // take it where it is first delivered, the focused control of this window.
  if (widget == nullptr || widget->window() != this || widget != QApplication::focusWidget()) {
    return QWidget::eventFilter(watched, event);
  }
  const int key = static_cast<QKeyEvent*>(event)->key();
  bool consumed = false;
  platform::Guard([&] { consumed = FormKeyDown(key); });
  if (consumed) return true;
  // Enter presses the default button unless a button has the focus.
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !qobject_cast<QPushButton*>(widget) &&
      BtnProcess->isEnabled()) {
    BtnProcess->click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TFrmmain::FormShow() {
  StatusBar1->SetPanelText(
      1, QStringLiteral("Send feedback to: ") + QString::fromLatin1(config::FeedbackAddress) +
             QStringLiteral("     "));
  StatusBar1->SetPanelText(0, QStringLiteral("  Press F1 for help."));
  StringGrid1->SetCell(0, 0, QStringLiteral("Unused"));
  StringGrid1->SetCell(1, 0, QStringLiteral("Directory"));
  StringGrid1->SetCell(2, 0, QStringLiteral("File name"));
}

void TFrmmain::ShellTreeView1Change() {
  std::string path = ShellTreeView1->SelectedPath().toLocal8Bit().toStdString();
  // Items without a file-system path (My Computer) leave the box as it was.
  if (path.empty() || !platform::DirectoryExists(path)) return;
  while (path.size() > 1 && path.back() == platform::PathDelimiter) path.pop_back();
  CBProjectDir->setEditText(QString::fromLocal8Bit(path));
}

bool TFrmmain::FormKeyDown(int key) {
  if (key == Qt::Key_F1) emit HelpRequested();
  return false;
}

std::int32_t TFrmmain::ScanDirectory(const std::string& dir) {
  return analysis::ScanDirectory(dir, analysis::FileTable, *source_, platform::ProcessMessages);
}

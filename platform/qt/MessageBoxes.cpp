#include "platform/qt/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

void ShowMessage(const QString& text, const QString& title, MessageIcon icon) {
  if (Handler()) {
    Handler()(text, title, icon);
    return;
  }
  QMessageBox::Icon qicon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None: qicon = QMessageBox::NoIcon; break;
    case MessageIcon::Information: qicon = QMessageBox::Information; break;
    case MessageIcon::Warning: qicon = QMessageBox::Warning; break;
    case MessageIcon::Critical: qicon = QMessageBox::Critical; break;
  }
  QMessageBox box(qicon, title, text, QMessageBox::Ok, QApplication::activeWindow());
  box.exec();
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler old = std::move(Handler());
  Handler() = std::move(handler);
  return old;
}

}  // namespace platform

#include "platform/qt/Panel.h"

#include <QPainter>

namespace platform {

Panel::Panel(QWidget* parent, Bevel bevel) : QFrame(parent) {
  if (bevel == Bevel::RaisedInner) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
  } else {
    setFrameStyle(QFrame::NoFrame);
  }
  setAutoFillBackground(true);
}

void Panel::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

void Panel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (caption_.isEmpty()) return;
  QPainter painter(this);
  painter.drawText(contentsRect(), Qt::AlignCenter, caption_);
}

}  // namespace platform

#include "platform/qt/ImageControl.h"

#include <QMouseEvent>
#include <QPainter>

namespace platform {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent) {}

void ImageControl::SetImage(const QImage& image) {
  producer_ = nullptr;
  image_ = image;
  update();
}

void ImageControl::SetPicture(std::function<QImage()> producer) {
  image_ = QImage();
  producer_ = std::move(producer);
  update();
}

void ImageControl::Clear() { SetImage(QImage()); }

const QImage& ImageControl::Image() {
  if (producer_) {
    auto producer = std::move(producer_);
    producer_ = nullptr;
    image_ = producer();
  }
  return image_;
}

void ImageControl::paintEvent(QPaintEvent*) {
  const QImage& image = Image();
  if (image.isNull()) return;
  QPainter painter(this);
  painter.setClipRect(rect());
  painter.drawImage(QPoint(0, 0), image);
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Clicked();
  }
}

}  // namespace platform

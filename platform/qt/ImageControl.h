#pragma once
#include <QImage>
#include <QWidget>
#include <functional>

// An image control: shows its picture unscaled from its top-left corner, cut
// off at its bounds, and reports clicks. The picture may be given as a
// producer that is asked for the pixels at the first paint, so a picture
// whose decoding is costly is decoded only when it is first drawn.
namespace platform {

class ImageControl : public QWidget {
  Q_OBJECT
 public:
  explicit ImageControl(QWidget* parent = nullptr);

  void SetImage(const QImage& image);
  void SetPicture(std::function<QImage()> producer);
  void Clear();
  // The pixels, decoding them now if that has not happened yet.
  const QImage& Image();

 signals:
  void Clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage image_;
  std::function<QImage()> producer_;
};

}  // namespace platform

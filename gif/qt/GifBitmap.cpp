#include "gif/qt/GifBitmap.h"

#include <QGuiApplication>
#include <QList>
#include <QPixmap>
#include <QScreen>
#include <algorithm>
#include <cstring>

namespace gif {

namespace {

QImage ImageFromBmp(const TMemoryStream& bmp) {
  QImage image;
  const std::string& bytes = bmp.Bytes();
  image.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()), "BMP");
  return image;
}

// A copy of source in 32-bit colour with the pixels of colour `from`
// painted as `to`.
QImage ReplaceColor(const QImage& source, QRgb from, bool replace, QRgb to) {
  QImage out = source.convertToFormat(QImage::Format_RGB32);
  if (!replace) return out;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0xFFFFFF) == (from & 0xFFFFFF)) line[x] = to;
  }
  return out;
}

class DrawingTransparentScope {
 public:
  DrawingTransparentScope() { DrawingTransparent = true; }
  ~DrawingTransparentScope() { DrawingTransparent = false; }
  DrawingTransparentScope(const DrawingTransparentScope&) = delete;
  DrawingTransparentScope& operator=(const DrawingTransparentScope&) = delete;
};

}  // namespace

TBitmap* GetBitmap(TGifSubImage& frame) {
  if (frame.Bitmap() == nullptr) {
    TMemoryStream bmp;
    frame.SaveAsBitmap(bmp);
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->Image = ImageFromBmp(bmp);
    frame.SetOwnedBitmap(std::move(bitmap));
  }
  return dynamic_cast<TBitmap*>(frame.Bitmap());
}

void DrawTransparent(QPainter& canvas, int x, int y, std::int32_t transparentColor,
                     const QImage& source) {
  DrawingTransparentScope flag;
  const auto left = static_cast<std::int16_t>(x);
  const auto top = static_cast<std::int16_t>(y);
  const bool replace = transparentColor != -1;
  const QRgb key = ToQRgb(transparentColor);
  const QImage image = ReplaceColor(source, key, replace, qRgb(0, 0, 0));
  const QImage mask = ReplaceColor(source, key, replace, qRgb(255, 255, 255));
  const QPainter::CompositionMode saved = canvas.compositionMode();
  canvas.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
  canvas.drawImage(left, top, mask);
  canvas.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
  canvas.drawImage(left, top, image);
  canvas.setCompositionMode(saved);
}

void DrawFrame(QPainter& canvas, const QRect& clip, const TGifSubImage& frame, int x, int y,
               bool transparent, std::int32_t transparentColor) {
  if (!frame.Pixels) return;
  const TByteArray2D& pixels = *frame.Pixels;
  // DrawTransparent takes its place as 16-bit numbers; the bands must land
  // where the whole frame would.
  const QPoint origin = transparent ? QPoint(static_cast<std::int16_t>(x), static_cast<std::int16_t>(y))
                                    : QPoint(x, y);
  const QRect shown = QRect(origin, QSize(pixels.Columns(), pixels.Rows())) & clip;
  if (shown.isEmpty()) return;
  const QRect part = shown.translated(-origin);  // in frame coordinates

  QList<QRgb> palette(256);
  const TColorTable& table = frame.ColorTable();
  for (int i = 0; i < 256; ++i) palette[i] = ToQRgb(table.GetColor(static_cast<std::uint8_t>(i)));

  // About 64 K pixels a band: a few hundred kilobytes of colour at most.
  constexpr int kBandPixels = 1 << 16;
  const int bandRows = std::max(1, kBandPixels / part.width());
  for (int top = part.top(); top <= part.bottom(); top += bandRows) {
    const int rows = std::min(bandRows, part.bottom() + 1 - top);
    QImage band(part.width(), rows, QImage::Format_Indexed8);
    band.setColorTable(palette);
    for (int r = 0; r < rows; ++r)
      std::memcpy(band.scanLine(r), pixels.RowData(top + r + 1) + part.left(),
                  static_cast<std::size_t>(part.width()));
    const QPoint at = origin + QPoint(part.left(), top);
    if (transparent)
      DrawTransparent(canvas, at.x(), at.y(), transparentColor, band);
    else
      canvas.drawImage(at, band);
  }
}

void CopyScreenRect(const QRect& rect, TBitmap& bitmap) {
  QImage image(rect.width(), rect.height(), QImage::Format_RGB32);
  image.fill(Qt::black);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QPixmap grabbed = screen->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height());
    if (!grabbed.isNull()) {
      QPainter p(&image);
      p.drawPixmap(0, 0, grabbed);
    }
  }
  bitmap.Image = image;
}

void TGifBitmap::LoadFromStream(TStream& stream) {
  auto file = std::make_unique<TGifFile>();
  file->LoadFromStream(stream);
  TMemoryStream bmp;
  file->GetSubImage(1).SaveAsBitmap(bmp);
  Image = ImageFromBmp(bmp);
}

}  // namespace gif

#include "results/qt/Glyphs.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace results {

namespace {

const QColor kFrame(0x1C, 0x51, 0x80);

void FillDiagonal(QPainter& p, const QRect& r, const QColor& from, const QColor& to) {
  QLinearGradient gradient(r.topLeft(), r.bottomRight());
  gradient.setColorAt(0, from);
  gradient.setColorAt(1, to);
  p.fillRect(r, gradient);
}

void DrawTick(QPainter& p, const QColor& from, const QColor& to) {
  QLinearGradient gradient(QPointF(4, 4), QPointF(12, 12));
  gradient.setColorAt(0, from);
  gradient.setColorAt(1, to);
  QPen pen(QBrush(gradient), 2.2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
  p.setPen(pen);
  p.setRenderHint(QPainter::Antialiasing, true);
  QPainterPath path;
  path.moveTo(4.5, 7.5);
  path.lineTo(7, 10.5);
  path.lineTo(11.5, 4.5);
  p.drawPath(path);
}

}  // namespace

QImage MakeGlyph(bool checked, GlyphLook look) {
  QImage image(GlyphSize, GlyphSize, QImage::Format_RGB888);
  image.fill(Qt::white);
  QPainter p(&image);
  const QRect inside(1, 1, GlyphSize - 2, GlyphSize - 2);
  switch (look) {
    case GlyphLook::Normal:
      FillDiagonal(p, inside, QColor(0xDC, 0xDC, 0xD7), Qt::white);
      break;
    case GlyphLook::Hot:
      FillDiagonal(p, inside, QColor(0xFF, 0xF0, 0xCF), QColor(0xF8, 0xB3, 0x30));
      p.fillRect(inside.adjusted(2, 2, -2, -2),
                 checked ? QColor(0xF4, 0xF4, 0xF2) : QColor(0xE7, 0xE7, 0xE3));
      break;
    case GlyphLook::Pressed:
      FillDiagonal(p, inside, QColor(0xB0, 0xB0, 0xA7), QColor(0xF1, 0xEF, 0xDF));
      break;
  }
  p.setPen(kFrame);
  p.drawRect(0, 0, GlyphSize - 1, GlyphSize - 1);
  if (checked) {
    if (look == GlyphLook::Pressed) {
      DrawTick(p, QColor(0x18, 0x75, 0x17), QColor(0x1D, 0x8B, 0x1B));
    } else {
      DrawTick(p, QColor(0x21, 0xA1, 0x21), QColor(0x21, 0xA1, 0x21));
    }
  }
  return image;
}

}  // namespace results

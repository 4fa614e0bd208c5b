#pragma once
#include <QImage>
#include <QPainter>
#include <QRect>

#include "gif/GifUnit.h"

// The frame bitmaps and the two drawing helpers of the GIF library, on
// QImage. Everything here runs on the window thread.
namespace gif {

// The platform's bitmap: a QImage that a frame can own.
class TBitmap : public TBitmapHandle {
 public:
  QImage Image;
};

// The frame's bitmap: built on the first call from the frame's BMP bytes
// (8 bits per pixel, 256-entry palette, transparency left out), then the
// same object every time. The frame owns it, unless it came in through
// TGifFile::AddBitmap, in which case it is returned as it was handed in.
TBitmap* GetBitmap(TGifSubImage& frame);

// Draws source with its top-left corner at (x, y) on the canvas, leaving
// the canvas as it was where source has transparentColor (0x00BBGGRR; -1
// for none): the mask (transparent pixels white) goes down with AND, the
// image (transparent pixels black) with OR. x and y are taken as 16-bit
// signed numbers; drawing is clipped to the canvas. DrawingTransparent is
// set meanwhile.
void DrawTransparent(QPainter& canvas, int x, int y, std::int32_t transparentColor,
                     const QImage& source);

// Draws the frame's own pixels (its Pixels through its colour table) with
// their top-left corner at (x, y), as far as they fall inside `clip` (the
// canvas's area): opaque, or like DrawTransparent when transparent. The
// frame goes down in bands of a few rows, so no bitmap of the whole frame
// is made or kept, whatever its size: what it costs is the part that
// shows. A frame without Pixels (one made by AddBitmap) draws nothing.
void DrawFrame(QPainter& canvas, const QRect& clip, const TGifSubImage& frame, int x, int y,
               bool transparent, std::int32_t transparentColor);

// Sizes bitmap to rect and fills it with the screen's pixels inside rect
// (black where the screen gives none, as on a display-less platform).
void CopyScreenRect(const QRect& rect, TBitmap& bitmap);

// A bitmap that loads the first frame of a GIF stream (its transparent
// colour ignored). The picture format for the extension "gif".
class TGifBitmap : public TBitmap {
 public:
  void LoadFromStream(TStream& stream);
};

// A colour of the library (0x00BBGGRR) as a Qt colour value.
inline QRgb ToQRgb(std::int32_t color) {
  return qRgb(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

}  // namespace gif

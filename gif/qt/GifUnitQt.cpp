#include "gif/qt/GifUnitQt.h"

#include <QApplication>
#include <QCursor>

#include "gif/qt/FmCanSav.h"
#include "gif/qt/GifBitmap.h"
#include "gif/qt/PictureFormats.h"
#include "platform/MessagePump.h"

namespace gif {

namespace {

void ShowWaitCursor() {
  if (QApplication::overrideCursor() != nullptr)
    QApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

// Back to the default cursor, whatever was shown before the read.
void ShowDefaultCursor() {
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

// The reader offers the window its messages after every decoded row. A row
// may be one pixel wide, and handling the messages costs about a
// microsecond, far more than such a row: a file of 2^26 one-pixel rows
// kept the window thread busy for most of a minute. So the messages are
// handled at every 256th row: even rows of the widest frame the reader
// takes decode 256 at a time in a tenth of a second, banner rows in well
// under a millisecond.
constexpr unsigned kRowsPerPump = 256;

void ProcessMessagesEveryFewRows() {
  static unsigned rows = 0;  // the window thread's only
  if (++rows % kRowsPerPump == 0) platform::ProcessMessages();
}

}  // namespace

const void* GifBitmapClass() {
  static const char tag = 0;
  return &tag;
}

GifUnitSession::GifUnitSession() {
  SetGifCallbacks({ProcessMessagesEveryFewRows, ShowWaitCursor, ShowDefaultCursor});
  RegisterFileFormat("gif", "GIF-Format", GifBitmapClass(), [](TStream& stream) {
    TGifBitmap bitmap;
    bitmap.LoadFromStream(stream);
    return bitmap.Image;
  });
  CanSaveDialog = new TCanSaveDialog(nullptr);
}

GifUnitSession::~GifUnitSession() {
  delete CanSaveDialog;
  CanSaveDialog = nullptr;
  UnregisterGraphicClass(GifBitmapClass());
  SetGifCallbacks({});
}

}  // namespace gif

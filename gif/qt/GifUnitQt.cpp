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

}  // namespace

const void* GifBitmapClass() {
  static const char tag = 0;
  return &tag;
}

GifUnitSession::GifUnitSession() {
  SetGifCallbacks({platform::ProcessMessages, ShowWaitCursor, ShowDefaultCursor});
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

#include "banner/qt/GifImgs.h"

#include <QPainter>

#include "banner/BannerLimits.h"
#include "platform/qt/ErrorReport.h"
#include "platform/qt/MessagePump.h"

namespace banner {

namespace {

bool RestoresArea(const gif::TGifSubImage& f) {
  return f.Disposal == gif::DisposalRestoreBackground || f.Disposal == gif::DisposalRestorePrevious;
}

// Sets gif::DrawingTransparent for its lifetime and puts the old value back.
class TransparentDrawingScope {
 public:
  TransparentDrawingScope() : saved_(gif::DrawingTransparent) { gif::DrawingTransparent = true; }
  ~TransparentDrawingScope() { gif::DrawingTransparent = saved_; }
  TransparentDrawingScope(const TransparentDrawingScope&) = delete;
  TransparentDrawingScope& operator=(const TransparentDrawingScope&) = delete;

 private:
  bool saved_;
};

// Clears a flag when it goes, also when an error leaves the block.
class ClearOnExit {
 public:
  explicit ClearOnExit(bool& flag) : flag_(flag) {}
  ~ClearOnExit() { flag_ = false; }
  ClearOnExit(const ClearOnExit&) = delete;
  ClearOnExit& operator=(const ClearOnExit&) = delete;

 private:
  bool& flag_;
};

}  // namespace

TGifImage::TGifImage(QWidget* owner) : platform::ImageControl(owner) {
  resize(0, 0);
  // The picture's own handler repaints the control; the control puts
  // PaintFrame in its place and passes every notification on to it.
  Picture.OnChange = [this] { SetImage(Picture.Bitmap.Image); };
  SavedOnChange = Picture.OnChange;
  Picture.OnChange = [this] { PaintFrame(); };
  CopyScreen = gif::CopyScreenRect;
  GifFile = std::make_unique<gif::TGifFile>();
  FrameTimer = new QTimer(this);
  FrameTimer->setInterval(1000);
  connect(FrameTimer, &QTimer::timeout, this, [this] { platform::Guard([this] { TimerTick(); }); });
}

TGifImage::~TGifImage() {
  FrameTimer->stop();
  delete FrameTimer;
  FrameTimer = nullptr;
  PrevFrame = nullptr;
  GifFile.reset();
  gif::FreeBitmap(Backup);
}

gif::TGifLimits TGifImage::BannerLimits() {
  gif::TGifLimits limits;
  limits.ScreenPixels = banner::MaxPicturePixels;
  return limits;
}

void TGifImage::LoadFromStream(gif::TStream& stream) {
  Loading = true;
  platform::ProcessMessages();
  // The backup belongs to the old file's last frame; with PrevFrame gone
  // nothing would ever draw it back.
  gif::FreeBitmap(Backup);
  GifFile = std::make_unique<gif::TGifFile>();
  GifFile->Limits = Limits;
  FrameIndex = 1;
  PrevFrame = nullptr;
  // From here on a failure leaves Loading set: the timer's ticks stay
  // ignored until a later load completes. The frames read before the
  // failure go with it; the picture on show stays.
  try {
    GifFile->LoadFromStream(stream);
    FrameTimer->stop();
    if (GifFile->SubImages.Count() != 1) {
      SetTimerInterval(FrameIntervalMs(GifFile->GetSubImage(1).GetDelay()));
      if (FStartImmediately) SetAnimating(true);
    }
    ShowFirstFrame();
  } catch (...) {
    PrevFrame = nullptr;
    gif::FreeBitmap(Backup);
    GifFile = std::make_unique<gif::TGifFile>();
    throw;
  }
  Loading = false;
}

bool TGifImage::Animating() const { return FrameTimer->isActive(); }

void TGifImage::SetAnimating(bool value) {
  if (value == FrameTimer->isActive()) return;
  if (value)
    FrameTimer->start();
  else
    FrameTimer->stop();
}

void TGifImage::ShowFirstFrame() {
  gif::TGifSubImage& f = GifFile->GetSubImage(FrameIndex);
  const int width = GifFile->ScreenWidth;
  const int height = GifFile->ScreenHeight;
  Kept = ShownArea();
  // The old picture goes before the new one is made, from the control's
  // display too: never two pictures of the largest size at once.
  Clear();
  Picture.Bitmap.Image = QImage();

  if (!f.Transparent && !GifFile->HasGlobalColorTable) {
    // The frame at its own place on the logical screen.
    Picture.Bitmap.Image = NewBitmap(width, height)->Image;
    DrawFrameOnPicture(f);
    Picture.Changed();
  } else if (!f.Transparent) {
    gif::FreeBitmap(Backup);
    Backup = NewBitmap(width, height).release();
    // A copy that shares the backup's pixels: the first change notification
    // frees the backup before anything draws on the picture.
    Picture.Bitmap.Image = Backup->Image;
    Picture.Changed();
    const QRgb background = gif::ToQRgb(f.GetBackgroundColor());
    DrawOnPicture([&](QPainter& canvas) { canvas.fillRect(QRect(0, 0, width, height), background); });
    Picture.Changed();
  } else {
    // What the screen shows under the control now is the background that
    // shines through the frame's transparent pixels.
    gif::FreeBitmap(Backup);
    Backup = NewBitmap(width, height).release();
    const QPoint corner = mapToGlobal(QPoint(0, 0));
    CopyScreen(QRect(corner.x(), corner.y(), Backup->Image.width(), Backup->Image.height()), *Backup);
    Picture.Bitmap.Image = Backup->Image.convertToFormat(QImage::Format_RGB32);
    Picture.Changed();
    DrawFrameOnPicture(f);
    // The transparent drawing raises its notification while
    // DrawingTransparent is still set, so the handler only repaints.
    TransparentDrawingScope drawing;
    Picture.Changed();
  }
  PrevFrame = &f;
}

void TGifImage::TimerTick() {
  if (!Loading) NextFrame();
}

QRect TGifImage::ShownArea() const {
  return rect() & QRect(0, 0, GifFile->ScreenWidth, GifFile->ScreenHeight);
}

bool TGifImage::RestartIfGrown() {
  // A control grown past the area that the frames have been drawn on shows
  // parts of the picture that no frame since the first has reached: the
  // animation starts again with its first frame, drawn on all that shows.
  const QRect shown = ShownArea();
  if (Loading || GifFile->SubImages.Count() == 0 || shown.isEmpty() || Kept.contains(shown)) {
    return false;
  }
  FrameIndex = 1;
  ShowFirstFrame();
  return true;
}

void TGifImage::resizeEvent(QResizeEvent* event) {
  platform::ImageControl::resizeEvent(event);
  platform::Guard([this] { RestartIfGrown(); });
}

void TGifImage::NextFrame() {
  // A hidden control learns of its new size only when it shows.
  if (RestartIfGrown()) return;
  ++FrameIndex;
  if (GifFile->SubImages.Count() == 0) GifFile->AddBitmap(&Picture.Bitmap);
  if (FrameIndex > GifFile->SubImages.Count()) {
    FrameIndex = 1;
    platform::ProcessMessages();
    // A load may have run meanwhile; if it failed, its file is not ours to
    // draw from (and may have no frame at all).
    if (Loading) return;
  }
  SetTimerInterval(FrameIntervalMs(GifFile->GetSubImage(FrameIndex).GetDelay()));
  PaintFrame();
}

void TGifImage::PaintFrame() {
  {
    ClearOnExit painting(Painting);
    if (!Painting && !gif::DrawingTransparent) {
      Painting = true;
      if (PrevFrame != nullptr && RestoresArea(*PrevFrame) && Backup != nullptr)
        DrawBitmapOnPicture(BackupLeft, BackupTop, Backup->Image);
      gif::FreeBitmap(Backup);
      gif::TGifSubImage& f = GifFile->GetSubImage(FrameIndex);
      if (RestoresArea(f)) SaveUnderFrame(f);
      DrawFrameOnPicture(f);
      PrevFrame = &f;
    }
  }
  if (SavedOnChange) SavedOnChange();
}

void TGifImage::SaveUnderFrame(gif::TGifSubImage& f) {
  gif::FreeBitmap(Backup);
  // Only the part of the frame that lies on the picture can ever be drawn
  // back; a frame reaching beyond the logical screen costs no more memory
  // than the screen itself.
  const QRect area = QRect(f.Left, f.Top, f.Width, f.Height) & Picture.Bitmap.Image.rect() & Kept;
  if (f.Transparent || f.Disposal == gif::DisposalRestorePrevious) {
    Backup = new gif::TBitmap;
    if (!area.isEmpty()) Backup->Image = Picture.Bitmap.Image.copy(area);
  } else if (f.Disposal == gif::DisposalRestoreBackground) {
    Backup = NewBitmap(area.width(), area.height()).release();
    Backup->Image.fill(gif::ToQRgb(f.GetBackgroundColor()));
  }
  BackupLeft = f.Left;
  BackupTop = f.Top;
}

template <class F>
void TGifImage::DrawOnPicture(F&& draw) {
  if (Picture.Bitmap.Image.isNull()) return;
  // The control shows the picture by sharing its pixels, and drawing on a
  // shared image would copy all of it first, for every frame. The control
  // lets go here and takes the picture back with the change notification
  // that follows every drawing.
  Clear();
  QPainter canvas(&Picture.Bitmap.Image);
  // Only what the control shows is drawn (see Kept).
  canvas.setClipRect(Kept);
  draw(canvas);
}

void TGifImage::DrawFrameOnPicture(gif::TGifSubImage& f) {
  if (auto* bitmap = dynamic_cast<gif::TBitmap*>(f.Bitmap())) {
    // A frame made by AddBitmap (or one whose bitmap someone built): the
    // bitmap is what it shows.
    if (!f.Transparent)
      DrawBitmapOnPicture(f.Left, f.Top, bitmap->Image);
    else
      DrawTransparentOnPicture(f.Left, f.Top, f.GetTransparentColor(), bitmap->Image);
    return;
  }
  // The frame's pixels are turned into colour only where they show.
  const QRect shown = Picture.Bitmap.Image.rect() & Kept;
  DrawOnPicture([&](QPainter& canvas) {
    gif::DrawFrame(canvas, shown, f, f.Left, f.Top, f.Transparent, f.GetTransparentColor());
  });
}

void TGifImage::DrawBitmapOnPicture(int x, int y, const QImage& source) {
  // A copy of the reference, so that a frame wrapping the picture itself
  // (AddBitmap) is drawn from the pixels as they were.
  const QImage pixels = source;
  if (pixels.isNull()) return;
  DrawOnPicture([&](QPainter& canvas) { canvas.drawImage(x, y, pixels); });
}

void TGifImage::DrawTransparentOnPicture(int x, int y, std::int32_t transparentColor,
                                         const QImage& source) {
  const QImage pixels = source;
  if (pixels.isNull()) return;
  DrawOnPicture([&](QPainter& canvas) { gif::DrawTransparent(canvas, x, y, transparentColor, pixels); });
}

// A new bitmap of this platform: white, like a fresh canvas.
std::unique_ptr<gif::TBitmap> TGifImage::NewBitmap(int width, int height) const {
  auto bitmap = std::make_unique<gif::TBitmap>();
  if (width > 0 && height > 0) {
    bitmap->Image = QImage(width, height, QImage::Format_RGB32);
    bitmap->Image.fill(Qt::white);
  }
  return bitmap;
}

void TGifImage::SetTimerInterval(int milliseconds) {
  // Only a new value restarts a running countdown.
  if (FrameTimer->interval() != milliseconds) FrameTimer->setInterval(milliseconds);
}

}  // namespace banner

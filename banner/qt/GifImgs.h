#pragma once
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "gif/GifUnit.h"
#include "gif/qt/GifBitmap.h"
#include "platform/qt/ImageControl.h"

// TGifImage: the banner's animated GIF control. It reads a GIF into its
// TGifFile, keeps one bitmap as its picture and composites the frames onto
// it one after the other, honouring each frame's position, transparency,
// delay and disposal method. As an image control it paints the picture
// unscaled from its top-left corner, cut at its bounds, and reports clicks
// through Clicked; the window sets its hint and cursor like any control's.
//
// Frames are drawn only on the part of the picture within the control's
// bounds, and at most every 20 ms (banner::FrameIntervalMs).
//
// What it holds is bounded by what the next frame needs: the file's frames
// as the reader keeps them (colour indices, within the reader's limits and
// a logical screen no larger than banner::MaxPicturePixels), the picture,
// and the backup of the area the current frame's disposal restores. A
// frame is drawn from its colour indices in bands each time it shows; no
// frame keeps a bitmap. A load that fails keeps nothing it read.
//
// Owned by the main window; lives and runs on the window thread only. The
// load and the frame step let the window handle pending messages, so other
// handlers (its own timer's included) may run in the middle of them: ticks
// are ignored while Loading is set, and Painting / gif::DrawingTransparent
// keep the control's own drawing from compositing again.
namespace banner {

class TGifImage : public platform::ImageControl {
  Q_OBJECT
  Q_PROPERTY(bool Animating READ Animating WRITE SetAnimating STORED true)
  Q_PROPERTY(bool StartImmediately READ StartImmediately WRITE SetStartImmediately)

 protected:
  void resizeEvent(QResizeEvent* event) override;

 public:
  // How the screen under the control is read when a transparent first
  // frame needs a background; gif::CopyScreenRect unless replaced.
  using ScreenCopier = std::function<void(const QRect& screenRect, gif::TBitmap& bitmap)>;

  explicit TGifImage(QWidget* owner = nullptr);
  ~TGifImage() override;
  TGifImage(const TGifImage&) = delete;
  TGifImage& operator=(const TGifImage&) = delete;

  // Replaces the shown GIF by the one in stream (read from its first byte).
  // Raises what the reader raises, and gif::EListError for a stream without
  // frames; then Loading stays set, the old picture stays on show and the
  // file read so far is gone.
  void LoadFromStream(gif::TStream& stream);

  // The reader's limits for the loads to come: the reader's own, with the
  // logical screen no larger than a banner picture. Tighter ones suit
  // tests and fuzzers.
  static gif::TGifLimits BannerLimits();
  void SetLimits(const gif::TGifLimits& limits) { Limits = limits; }

  bool Animating() const;
  // Touches the timer only when the value differs, so a running countdown
  // is not restarted.
  void SetAnimating(bool value);
  bool StartImmediately() const { return FStartImmediately; }
  void SetStartImmediately(bool value) { FStartImmediately = value; }

  // FrameTimer's handler: the next frame, unless a load is in progress.
  void TimerTick();
  void NextFrame();
  // The picture's change handler; NextFrame calls it too.
  void PaintFrame();
  void SaveUnderFrame(gif::TGifSubImage& f);
  void ShowFirstFrame();

  // What is on show and the state behind it, for the window and for tests.
  const QImage& PictureImage() const { return Picture.Bitmap.Image; }
  const gif::TGifFile& GetGifFile() const { return *GifFile; }
  const QTimer& GetFrameTimer() const { return *FrameTimer; }
  std::int32_t GetFrameIndex() const { return FrameIndex; }
  bool IsLoading() const { return Loading; }
  void SetScreenCopier(ScreenCopier copier) { CopyScreen = std::move(copier); }

 private:
  // The picture: one bitmap and the handler told of every change to it.
  struct TPicture {
    gif::TBitmap Bitmap;
    std::function<void()> OnChange;
    void Changed() {
      if (OnChange) OnChange();
    }
  };

  // Drawing on the picture's bitmap; nothing happens while it has no pixels.
  template <class F>
  void DrawOnPicture(F&& draw);
  // Frame f at its place, opaque or transparent as it is.
  void DrawFrameOnPicture(gif::TGifSubImage& f);
  void DrawBitmapOnPicture(int x, int y, const QImage& source);
  void DrawTransparentOnPicture(int x, int y, std::int32_t transparentColor, const QImage& source);
  std::unique_ptr<gif::TBitmap> NewBitmap(int width, int height) const;
  void SetTimerInterval(int milliseconds);
  // The part of the logical screen that the control's bounds show.
  QRect ShownArea() const;
  // Shows the first frame again when the control shows more than Kept.
  bool RestartIfGrown();

  TPicture Picture;
  ScreenCopier CopyScreen;
  gif::TGifLimits Limits = BannerLimits();

  // The area that every frame since the first has been drawn on: what the
  // control showed when the first frame was. Frames are drawn there only,
  // so a picture far larger than the control costs what the control shows;
  // a control grown past it starts the animation again (NextFrame).
  QRect Kept;
  bool Loading = false;
  gif::TBitmap* Backup = nullptr;
  gif::TGifSubImage* PrevFrame = nullptr;
  int BackupLeft = 0;
  int BackupTop = 0;
  bool Painting = false;
  std::function<void()> SavedOnChange;
  std::unique_ptr<gif::TGifFile> GifFile;
  QTimer* FrameTimer = nullptr;
  std::int32_t FrameIndex = 1;
  bool FStartImmediately = false;
};

}  // namespace banner

// Arbitrary bytes through the reader, then (with the window system) through
// the banner's animated control for one full pass of the animation: nothing
// may crash, leak, read or write out of bounds, or allocate without bound,
// and the control must keep no bitmap per frame and nothing of a failed
// load.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>

#include "gif/GifUnit.h"
#ifdef QUILMERE_FUZZ_ANIMATION
#include <QApplication>
#include <QByteArray>

#include "banner/qt/GifImgs.h"
#include "gif/qt/GifBitmap.h"
#endif

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

#ifdef QUILMERE_FUZZ_ANIMATION
// The control's own bounds, scaled down so that an input cannot make one
// run take seconds: the logic is the same.
gif::TGifLimits FuzzLimits() {
  gif::TGifLimits limits = banner::TGifImage::BannerLimits();
  limits.ScreenPixels = std::int64_t{1} << 20;
  limits.TotalPixels = std::int64_t{1} << 22;
  limits.Frames = 4096;
  return limits;
}

void Animate(const std::uint8_t* data, std::size_t size) {
  banner::TGifImage control;
  control.resize(1024, 1024);  // frames are drawn only where the control shows
  control.SetLimits(FuzzLimits());
  control.SetScreenCopier([](const QRect& rect, gif::TBitmap& bitmap) {
    bitmap.Image = QImage(rect.size(), QImage::Format_RGB32);
    bitmap.Image.fill(0x0963C7);
  });
  gif::TByteViewStream stream(data, static_cast<std::int64_t>(size));
  try {
    control.LoadFromStream(stream);
  } catch (const std::exception&) {
    Check(control.IsLoading() && control.GetGifFile().SubImages.Count() == 0);
    return;
  }
  const gif::TGifFile& file = control.GetGifFile();
  const int frames = file.SubImages.Count();
  Check(control.PictureImage().size() == QSize(file.ScreenWidth, file.ScreenHeight) ||
        control.PictureImage().isNull());
  for (int i = 1; i <= frames; ++i) control.NextFrame();
  Check(control.GetFrameIndex() == 1);
  for (const auto& frame : file.SubImages) Check(frame->Bitmap() == nullptr);
}
#endif

}  // namespace

#ifdef QUILMERE_FUZZ_ANIMATION
// fontconfig keeps caches that it never frees; they are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static int argc = 1;
  static char name[] = "fuzz_gif";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  new QApplication(argc, argv);
  // Qt's one-time set-up happens here, not inside a run, where it would
  // count as a leak.
  static const char tiny[] = "GIF89a\1\0\1\0\x80\0\0\0\0\0\xff\xff\xff,\0\0\0\0\1\0\1\0\0\2\2D\1\0;";
  Animate(reinterpret_cast<const std::uint8_t*>(tiny), sizeof tiny - 1);
  return 0;
}
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gif::TGifFile file;
  gif::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    file.LoadFromStream(stream);
  } catch (const std::exception&) {
    // Errors are fine; the frames read before them must still be sound.
  }
  Check(file.SubImages.Count() <= gif::MaxFrames);
  for (const auto& frame : file.SubImages) {
#ifdef QUILMERE_FUZZ_ANIMATION
    gif::GetBitmap(*frame);
#else
    gif::TMemoryStream bmp;
    frame->SaveAsBitmap(bmp);
#endif
  }
#ifdef QUILMERE_FUZZ_ANIMATION
  Animate(data, size);
#endif
  return 0;
}

// bannerdump FILE: shows FILE as the banner would, offscreen, and says what
// came of it in one line:
//   kind=jpeg|gif frames=N width=W height=H     exit status 0
//   error: CLASS: MESSAGE                        exit status 1
// then the peak memory (the process's largest resident size) and the time
// on standard error. A developer's tool for measuring what a picture costs
// the program; not installed with it.
//
// The steps are the program's own: a file past the response bound is
// rejected as the loader would; bytes that begin with "GIF" are a GIF,
// anything else goes the JPEG way. A JPEG's header and scans are judged as
// on the loader thread, then its picture is decoded and drawn by an image
// control as at the window's first paint. A GIF is loaded into the banner's
// animated control, which composites every frame once, in order, with the
// delays skipped, and the control is drawn.
#include <sys/resource.h>

#include <QApplication>
#include <QImage>
#include <chrono>
#include <cstdio>
#include <exception>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "banner/AdProtocol.h"
#include "banner/GifImgs.h"
#include "banner/JpegImage.h"
#include "gif/qt/GifUnitQt.h"
#include "gif/tools/ErrorLine.h"
#include "platform/ImageControl.h"

namespace {

class EResponseTooLong : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Summary(const char* kind, int frames, int width, int height) {
  return std::string("kind=") + kind + " frames=" + std::to_string(frames) +
         " width=" + std::to_string(width) + " height=" + std::to_string(height);
}

// Paints the control, at its size, onto an offscreen canvas.
void Paint(QWidget& control) {
  QImage canvas(control.size(), QImage::Format_RGB32);
  canvas.fill(Qt::white);
  control.render(&canvas);
}

std::string ShowJpeg(const std::string& bytes) {
  TJpegImage picture;
  picture.LoadFromStream(bytes);
  // The window's control holds a copy and decodes it when first painted.
  auto copy = std::make_shared<const TJpegImage>(picture);
  platform::ImageControl control;
  control.resize(picture.Width(), picture.Height());
  control.SetPicture([copy] { return copy->ToImage(); });
  Paint(control);
  if (control.Image().isNull()) throw EJpegError("not decoded: " + copy->DecodeError());
  return Summary("jpeg", 1, picture.Width(), picture.Height());
}

std::string ShowGif(const std::string& bytes) {
  banner::TGifImage control;
  gif::TByteViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  control.LoadFromStream(stream);
  const gif::TGifFile& file = control.GetGifFile();
  const int frames = file.SubImages.Count();
  for (int i = 1; i < frames; ++i) control.NextFrame();
  control.resize(control.PictureImage().size());
  Paint(control);
  return Summary("gif", frames, file.ScreenWidth, file.ScreenHeight);
}

std::string ErrorLine(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EJpegError& e) {
    return gif::ErrorLine("EJpegError", e.what());
  } catch (const EResponseTooLong& e) {
    return gif::ErrorLine("EResponseTooLong", e.what());
  } catch (...) {
    return gif::ErrorLine(std::current_exception());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto begin = std::chrono::steady_clock::now();
  if (argc != 2) {
    std::fprintf(stderr, "usage: bannerdump FILE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bannerdump: cannot open %s\n", argv[1]);
    return 2;
  }
  // One byte past the bound is enough to know that the loader would have
  // rejected the response.
  std::string bytes(banner::MaxResponseSize + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  bytes.shrink_to_fit();

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  gif::GifUnitSession session;

  std::string line;
  int status = 0;
  try {
    if (bytes.size() > banner::MaxResponseSize)
      throw EResponseTooLong("larger than the " + std::to_string(banner::MaxResponseSize) +
                             " bytes a response may bring");
    line = bytes.compare(0, 3, "GIF") == 0 ? ShowGif(bytes) : ShowJpeg(bytes);
  } catch (...) {
    line = ErrorLine(std::current_exception());
    status = 1;
  }
  std::printf("%s\n", line.c_str());

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  std::fprintf(stderr, "peak %ld KiB, %.3f s\n", usage.ru_maxrss, seconds);
  return status;
}

// gifdump FILE: what the reader makes of a GIF, one line for the logical
// screen and one per frame, then "error: CLASS: MESSAGE" when the read
// failed (exit status 1).
// gifdump --repeat N FILE: reads the file N times and reports the decoding
// time and speed on standard error.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "gif/GifUnit.h"
#include "gif/tools/ErrorLine.h"
#include "gif/tools/Sha256.h"

namespace {

using namespace gif;

std::string PixelDigest(const TGifSubImage& frame) {
  Sha256 sha;
  const TByteArray2D& pixels = *frame.Pixels;
  for (std::int32_t r = 1; r <= pixels.Rows(); ++r)
    sha.Update(pixels.RowData(r), static_cast<std::size_t>(pixels.Columns()));
  return sha.Hex();
}

// The transparent index of the graphic control extension that set the
// frame's Transparent flag: the last one before the frame.
int TransparentIndexOf(const TGifSubImage& frame) {
  if (!frame.Transparent || !frame.Extensions) return -1;
  int index = -1;
  for (const auto& ext : *frame.Extensions)
    if (ext->Kind == ekGraphicControl) index = ext->TransparentIndex();
  return index;
}

void PrintFile(const TGifFile& file) {
  std::printf("screen %u %u global=%d colors=%d background=%u\n", file.ScreenWidth,
              file.ScreenHeight, file.HasGlobalColorTable ? 1 : 0, file.GlobalColorTable->Count,
              file.BackgroundIndex);
  for (std::int32_t i = 1; i <= file.SubImages.Count(); ++i) {
    const TGifSubImage& f = file.GetSubImage(i);
    std::printf("frame %d %u %u %u %u interlaced=%d disposal=%u delay=%u transparent=%d sha256=%s\n",
                i, f.Left, f.Top, f.Width, f.Height, f.Interlaced ? 1 : 0, f.Disposal, f.GetDelay(),
                TransparentIndexOf(f), PixelDigest(f).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  long repeat = 0;
  int arg = 1;
  if (argc == 4 && std::string(argv[1]) == "--repeat") {
    repeat = std::strtol(argv[2], nullptr, 10);
    arg = 3;
  }
  if (argc != arg + 1 || (arg == 3 && repeat < 1)) {
    std::fprintf(stderr, "usage: gifdump [--repeat N] FILE\n");
    return 2;
  }
  std::ifstream in(argv[arg], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "gifdump: cannot open %s\n", argv[arg]);
    return 2;
  }
  TMemoryStream stream(std::string(std::istreambuf_iterator<char>(in), {}));

  if (repeat > 0) {
    double pixels = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (long i = 0; i < repeat; ++i) {
      TGifFile file;
      try {
        file.LoadFromStream(stream);
      } catch (const std::exception&) {
      }
      for (const auto& f : file.SubImages) pixels += double(f->Width) * f->Height;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::fprintf(stderr, "%.6f s, %.0f pixels/s\n", seconds, seconds > 0 ? pixels / seconds : 0.0);
    return 0;
  }

  TGifFile file;
  std::string error;
  try {
    file.LoadFromStream(stream);
  } catch (...) {
    error = ErrorLine(std::current_exception());
  }
  PrintFile(file);
  if (!error.empty()) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  return 0;
}

#pragma once
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// Feeds giflib (the comparison peer of the tests and benchmarks) from bytes
// in memory: DGifOpen(&reader, GiflibRead, &error); and writes pictures
// with giflib's encoder into memory: GiflibEncode.
namespace testsupport {

struct GiflibReader {
  const std::string* bytes;
  std::size_t pos = 0;
};

inline int GiflibRead(GifFileType* g, GifByteType* out, int count) {
  auto* r = static_cast<GiflibReader*>(g->UserData);
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(count), r->bytes->size() - r->pos);
  std::memcpy(out, r->bytes->data() + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

struct GiflibFrame {
  int left = 0, top = 0, width = 0, height = 0;
  bool interlaced = false;
  std::vector<GifPixelType> pixels;  // width x height, rows in the order written
};

inline int GiflibWrite(GifFileType* g, const GifByteType* data, int count) {
  static_cast<std::string*>(g->UserData)->append(reinterpret_cast<const char*>(data),
                                                 static_cast<std::size_t>(count));
  return count;
}

// A GIF89a of the frames on a screen with a global table of colours
// entries (a power of two), colour i being (7i, 13i, 29i).
inline std::string GiflibEncode(int screenWidth, int screenHeight, int colours,
                                const std::vector<GiflibFrame>& frames) {
  std::string out;
  int error = 0;
  GifFileType* g = EGifOpen(&out, GiflibWrite, &error);
  std::vector<GifColorType> palette(static_cast<std::size_t>(colours));
  for (int i = 0; i < colours; ++i)
    palette[static_cast<std::size_t>(i)] = {static_cast<GifByteType>(i * 7),
                                            static_cast<GifByteType>(i * 13),
                                            static_cast<GifByteType>(i * 29)};
  ColorMapObject* map = GifMakeMapObject(colours, palette.data());
  EGifSetGifVersion(g, true);
  EGifPutScreenDesc(g, screenWidth, screenHeight, 8, 0, map);
  for (const GiflibFrame& f : frames) {
    EGifPutImageDesc(g, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
    for (int y = 0; y < f.height; ++y)
      EGifPutLine(g, const_cast<GifPixelType*>(f.pixels.data()) + std::size_t(y) * std::size_t(f.width),
                  f.width);
  }
  EGifCloseFile(g, &error);
  GifFreeMapObject(map);
  return out;
}

}  // namespace testsupport

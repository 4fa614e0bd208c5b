#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

// Pictures for the banner tests, made here rather than kept as files.
namespace testpictures {

struct Colour {
  unsigned char r, g, b;
};

// A JPEG of one colour, width x height, encoded by libjpeg in the given
// colour space: JCS_RGB, JCS_GRAYSCALE (the red value as the grey) or
// JCS_CMYK (the colour as inverted inks, the way Adobe writers store them,
// which is what libjpeg's Adobe marker announces). Progressive in libjpeg's
// own progression (10 scans for colour, 6 for grey, 18 for CMYK) when asked.
inline std::string Jpeg(int width, int height, Colour colour, J_COLOR_SPACE space = JCS_RGB,
                        bool progressive = false) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::string row;
  for (int x = 0; x < width; ++x) {
    if (space == JCS_GRAYSCALE) {
      row += static_cast<char>(colour.r);
    } else if (space == JCS_CMYK) {
      // Inks of the colour with no black, stored inverted (255 = no ink).
      row += static_cast<char>(colour.r);
      row += static_cast<char>(colour.g);
      row += static_cast<char>(colour.b);
      row += static_cast<char>(255);
    } else {
      row += static_cast<char>(colour.r);
      row += static_cast<char>(colour.g);
      row += static_cast<char>(colour.b);
    }
  }
  for (int y = 0; y < height; ++y) {
    JSAMPROW line = reinterpret_cast<JSAMPROW>(row.data());
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::string bytes(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return bytes;
}

// Where each scan of a JPEG written by libjpeg lies: from the end of the
// scan before it (so with the tables written for it) to the end of its
// entropy-coded data; and its spectral start and successive-approximation
// high bit.
struct ScanChunk {
  std::size_t begin, end;
  int spectralStart, approximationHigh;
};

inline std::vector<ScanChunk> Scans(const std::string& jpeg) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(jpeg[i]); };
  std::vector<ScanChunk> scans;
  std::size_t pos = 2, previousEnd = std::string::npos;
  while (pos + 4 <= jpeg.size() && at(pos + 1) != 0xD9) {
    const std::size_t length = (at(pos + 2) << 8) | at(pos + 3);
    if (at(pos + 1) != 0xDA) {
      pos += 2 + length;
      continue;
    }
    const std::size_t selectors = pos + 5 + 2 * at(pos + 4);
    std::size_t end = pos + 2 + length;
    while (end + 1 < jpeg.size() &&
           !(at(end) == 0xFF && at(end + 1) != 0 && (at(end + 1) < 0xD0 || at(end + 1) > 0xD7)))
      ++end;
    scans.push_back({previousEnd == std::string::npos ? pos : previousEnd, end, at(selectors),
                     at(selectors + 2) >> 4});
    previousEnd = pos = end;
  }
  return scans;
}

// The progressive JPEG with `copies` more copies of its first AC scan that
// refines nothing (one whose data is mostly end-of-band runs) before its
// end: every copy is another pass over the picture's blocks for a few
// dozen bytes.
inline std::string RepeatedScans(const std::string& jpeg, int copies) {
  for (const ScanChunk& scan : Scans(jpeg)) {
    if (scan.spectralStart == 0 || scan.approximationHigh != 0) continue;
    const std::string chunk = jpeg.substr(scan.begin, scan.end - scan.begin);
    std::string out = jpeg.substr(0, jpeg.size() - 2);  // without the end-of-image marker
    out.reserve(out.size() + chunk.size() * static_cast<std::size_t>(copies) + 2);
    for (int i = 0; i < copies; ++i) out += chunk;
    return out + "\xFF\xD9";
  }
  return jpeg;
}

// A 1 x 1 GIF89a; the loader hands GIF bytes on without reading them.
inline std::string Gif() {
  static const unsigned char bytes[] = {
      'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0,
      ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 'D', 1, 0, ';'};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace testpictures

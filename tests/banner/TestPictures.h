#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

#include <jpeglib.h>

// Pictures for the banner tests, made here rather than kept as files.
namespace testpictures {

struct Colour {
  unsigned char r, g, b;
};

// A JPEG of one colour, width x height, encoded by libjpeg in the given
// colour space: JCS_RGB, JCS_GRAYSCALE (the red value as the grey) or
// JCS_CMYK (the colour as inverted inks, the way Adobe writers store them,
// which is what libjpeg's Adobe marker announces).
inline std::string Jpeg(int width, int height, Colour colour, J_COLOR_SPACE space = JCS_RGB) {
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

// A 1 x 1 GIF89a; the loader hands GIF bytes on without reading them.
inline std::string Gif() {
  static const unsigned char bytes[] = {
      'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0,
      ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 'D', 1, 0, ';'};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace testpictures

#pragma once
#include <cstdint>
#include <string>

#include "tests/gif/GifBuilder.h"

// GIFs an attacker would send: small files that ask the reader and the
// banner control for far more memory or time than their size suggests.
// Made at test time, never stored.
namespace giftest {

// A frame whose LZW data expands as far as LZW can: after each clear code,
// every code is the one being defined, so each string is one byte longer
// than the last (about 8 million pixels per table of 6 KB). The data stops
// short of the frame's last pixels rather than overrun them, so the frame
// itself is sound.
inline std::string BombFrame(int width, int height) {
  const std::int64_t pixels = std::int64_t{width} * height;
  CodeWriter w(2);
  std::int64_t written = 0;
  w.Code(w.Clear());
  w.Code(0);
  written = 1;
  std::int64_t length = 1;  // of the string the last code stood for
  while (written + length + 1 <= pixels) {
    if (w.NextCode() >= 4096) {
      w.Code(w.Clear());
      w.Code(0);
      written += 1;
      length = 1;
      continue;
    }
    w.Code(w.NextCode());
    ++length;
    written += length;
  }
  w.Code(w.End());
  return Image(0, 0, width, height, 0, 2, w.Bytes());
}

// frames LZW bombs of width x height on a screen of screenW x screenH.
inline std::string LzwBombGif(int frames, int width, int height, int screenW, int screenH) {
  const std::string frame = BombFrame(width, height);
  std::string out = Head(screenW, screenH);
  for (int i = 0; i < frames; ++i) out += frame;
  return out + ";";
}

// 1024 frames one pixel wide and 65535 high, filled: all the pixels a file
// may have, in 67 million rows, from 370 KB.
inline std::string TallFramesGif() {
  const std::string frame = BombFrame(1, 65535);
  std::string out = Head(16, 16);
  for (int i = 0; i < 1024; ++i) out += frame;
  return out + ";";
}

// frames frames of 1 x 1 pixel, 15 bytes each.
inline std::string TinyFramesGif(int frames) {
  CodeWriter w(2);
  w.Codes({w.Clear(), 1, w.End()});
  const std::string frame = Image(0, 0, 1, 1, 0, 2, w.Bytes());
  std::string out = Head(16, 16);
  out.reserve(out.size() + frame.size() * static_cast<std::size_t>(frames) + 1);
  for (int i = 0; i < frames; ++i) out += frame;
  return out + ";";
}

// One comment extension of blocks one-byte sub-blocks, then a frame.
inline std::string CommentBlocksGif(int blocks) {
  std::string out = Head(4, 4) + "\x21\xFE";
  out.reserve(out.size() + 2 * static_cast<std::size_t>(blocks) + 64);
  for (int i = 0; i < blocks; ++i) out += "\x01*";
  out += '\0';
  return out + SimpleImage(1, 1, {1}) + ";";
}

// A frame of width x height whose data is the end code alone: nothing to
// decode, all to allocate.
inline std::string EmptyFrame(int width, int height) {
  CodeWriter w(2);
  w.Code(w.End());
  return Image(0, 0, width, height, 0, 2, w.Bytes());
}

inline std::string EmptyFramesGif(int frames, int width, int height) {
  const std::string frame = EmptyFrame(width, height);
  std::string out = Head(width, height);
  for (int i = 0; i < frames; ++i) out += frame;
  return out + ";";
}

}  // namespace giftest

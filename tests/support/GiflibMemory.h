#pragma once
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <string>

// Feeds giflib (the comparison peer of the tests and benchmarks) from bytes
// in memory: DGifOpen(&reader, GiflibRead, &error).
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

}  // namespace testsupport

// Arbitrary bytes through the reader, then every frame's bitmap: nothing
// may crash, leak, read or write out of bounds, or allocate without bound.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "gif/GifUnit.h"
#ifdef QUILMERE_FUZZ_BITMAPS
#include "gif/qt/GifBitmap.h"
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gif::TGifFile file;
  gif::TMemoryStream stream(std::string(reinterpret_cast<const char*>(data), size));
  try {
    file.LoadFromStream(stream);
  } catch (const std::exception&) {
    // Errors are fine; the frames read before them must still be sound.
  }
  for (const auto& frame : file.SubImages) {
#ifdef QUILMERE_FUZZ_BITMAPS
    gif::GetBitmap(*frame);
#else
    gif::TMemoryStream bmp;
    frame->SaveAsBitmap(bmp);
#endif
  }
  return 0;
}

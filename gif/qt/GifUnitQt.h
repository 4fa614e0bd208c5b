#pragma once

// What the GIF library sets up when the program starts and takes down when
// it ends: the message pump and the wait cursor for the reader, "gif" as
// "GIF-Format" in the picture-format registry, and CanSaveDialog. The
// program holds one instance for its lifetime, created after the
// application object.
namespace gif {

class GifUnitSession {
 public:
  GifUnitSession();
  ~GifUnitSession();
  GifUnitSession(const GifUnitSession&) = delete;
  GifUnitSession& operator=(const GifUnitSession&) = delete;
};

// Identifies TGifBitmap in the picture-format registry.
const void* GifBitmapClass();

}  // namespace gif

#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gif/ColorTbl.h"
#include "gif/DynArrB.h"
#include "gif/GifDecl.h"
#include "gif/MoreUtil.h"
#include "gif/Streams.h"
#include "platform/MessagePump.h"

// The GIF model and its reader: a TGifFile owns its global colour table and
// its frames (TGifSubImage), each frame its extensions, compressed data,
// pixels, local colour table and bitmap. Everything runs on the window
// thread; a read lets the window process its messages after every decoded
// pixel row, so other handlers may run in the middle of it.
namespace gif {

// What one file may make the reader hold. A GIF names its sizes and counts
// itself, so every one is checked before the allocation that would cross
// it, and crossing one ends the read with an EGifException naming the limit
// and the size ("Frames together too large: 100663296 pixels, at most
// 67108864 allowed"). Together they keep the read of any file of 8 MiB
// (the banner's response bound) under 256 MiB and a second or so.
//
// No frame, no logical screen and not all frames together may hold more
// than MaxPixels pixels (one byte each).
constexpr std::int64_t MaxPixels = std::int64_t{1} << 26;
// A frame costs about a kilobyte besides its pixels (its colour table,
// lists and buffers), so the count is bounded too.
constexpr std::int32_t MaxFrames = 65536;
// Extensions are kept, never interpreted: what they hold is bounded by
// their bytes plus a bookkeeping charge for each extension and each
// sub-block, near what holding them costs; a file of a million empty or
// one-byte blocks crosses it long before it costs much.
constexpr std::int64_t MaxExtensionBytes = std::int64_t{1} << 23;
constexpr std::int64_t ExtensionCharge = 64;
constexpr std::int64_t SubBlockCharge = 32;

// The limits one read applies; the reader's own unless a user of the
// library needs tighter ones (the banner's screen, a fuzzer's speed).
struct TGifLimits {
  std::int64_t ScreenPixels = MaxPixels;
  std::int64_t FramePixels = MaxPixels;
  std::int64_t TotalPixels = MaxPixels;
  std::int32_t Frames = MaxFrames;
  std::int64_t ExtensionBytes = MaxExtensionBytes;
};

// How the Qt-free core reaches the window system. Empty functions are
// skipped, which is what tests and tools want.
struct TGifCallbacks {
  platform::MessagePump ProcessMessages;      // after every decoded row
  std::function<void()> ShowWaitCursor;       // when a read starts
  std::function<void()> ShowDefaultCursor;    // when it ends, also by an error
};
void SetGifCallbacks(TGifCallbacks callbacks);
const TGifCallbacks& GifCallbacks();

// True while DrawTransparent runs; the banner control ignores the change
// notifications its own transparent drawing raises.
extern bool DrawingTransparent;

class TGifFile;

class TGifSubImage {
 public:
  // A frame of a file's colour count n (2, 4, ..., 256; otherwise
  // EGifException "Number of colors (n) wrong; must be a power of 2").
  TGifSubImage(std::int32_t colorCount, TGifFile* owner);
  TGifSubImage(const TGifSubImage&) = delete;
  TGifSubImage& operator=(const TGifSubImage&) = delete;
  ~TGifSubImage();

  // Reads the image descriptor, the local colour table and the image data
  // from just after the 0x2C separator, then decodes the pixels.
  void ReadFromStream(TStream& stream);
  // Makes list the frame's Extensions and derives Disposal and Transparent
  // from its graphic control extensions (the last one wins).
  void SetExtensions(std::unique_ptr<TExtensionList> list);
  // Delay in hundredths of a second of the last graphic control extension.
  std::uint16_t GetDelay() const;
  void EncodeFlags();
  // CompressedData -> Pixels (LZW, interlace order).
  void Decode();

  // The frame's colours: LocalColorTable when HasLocalColorTable, else the
  // owner's global table.
  const TColorTable& ColorTable() const;
  // Colour of the first graphic control extension with the transparency bit
  // set, -1 when there is none.
  std::int32_t GetTransparentColor() const;
  // Index of the first transparent graphic control extension, -1 if none.
  std::int32_t TransparentIndex() const;
  std::int32_t GetBackgroundColor() const;
  // Writes the frame as an 8-bit BMP from position 0 and leaves the stream
  // at position 0.
  void SaveAsBitmap(TMemoryStream& stream) const;

  // The bitmap: owned unless it came in through TGifFile::AddBitmap.
  TBitmapHandle* Bitmap() const { return bitmap_; }
  void SetOwnedBitmap(std::unique_ptr<TBitmapHandle> bitmap);

  TGifFile* Owner;
  std::unique_ptr<TExtensionList> Extensions;
  std::unique_ptr<TByteBuffer> CompressedData;
  std::unique_ptr<TByteArray2D> Pixels;
  std::unique_ptr<TColorTable> LocalColorTable;
  std::uint8_t CodeSize = 2;
  std::uint8_t Disposal = 0;
  bool Transparent = false;
  std::uint16_t Left = 0;
  std::uint16_t Top = 0;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t ImageFlags = 0;
  bool Interlaced = false;
  bool HasLocalColorTable = false;
  std::uint8_t LocalColorBits = 1;

 private:
  friend class TGifFile;
  struct WrapTag {};
  TGifSubImage(WrapTag, TGifFile* owner, TBitmapHandle* bitmap);

  TBitmapHandle* bitmap_ = nullptr;
  bool ownsBitmap_ = false;
};

class TGifFile {
 public:
  TGifFile();
  TGifFile(const TGifFile&) = delete;
  TGifFile& operator=(const TGifFile&) = delete;

  // Reads the whole stream, from its first byte, into this (fresh) object.
  // On an error the frames complete before it stay in SubImages.
  void LoadFromStream(TStream& stream);
  // Frame i, 1 <= i <= frame count; EListError otherwise.
  TGifSubImage& GetSubImage(std::int32_t i) const { return SubImages.Items(i); }
  // Appends a frame that only wraps bitmap, which stays the caller's.
  TGifSubImage& AddBitmap(TBitmapHandle* bitmap);

  std::string Header = "GIF87a";
  std::uint16_t ScreenWidth = 0;
  std::uint16_t ScreenHeight = 0;
  std::uint8_t ScreenFlags = 0;
  std::uint8_t BackgroundIndex = 0;
  std::uint8_t AspectRatio = 0;
  bool HasGlobalColorTable = true;
  std::uint8_t GlobalColorBits = 1;
  std::unique_ptr<TColorTable> GlobalColorTable;
  TOwnedList<TGifSubImage> SubImages;
  // Set before LoadFromStream to read under other limits.
  TGifLimits Limits;

 private:
  friend class TGifSubImage;
  // Count what a read is about to hold against Limits; EGifException
  // when it would cross one, before anything is allocated for it.
  void ChargeFrame(std::uint16_t width, std::uint16_t height);
  void ChargeExtension(std::int64_t bytes);

  std::int64_t pixelsRead_ = 0;
  std::int64_t extensionBytesRead_ = 0;
};

}  // namespace gif

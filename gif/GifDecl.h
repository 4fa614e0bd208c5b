#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "gif/MoreUtil.h"

// The pieces the GIF model is made of: the library's error class, the buffer
// of compressed image data, and the extension blocks.
namespace gif {

// What a frame asks to be done with its area before the next frame is drawn
// (the disposal method of its graphic control extension).
constexpr std::uint8_t DisposalNone = 0;               // not said
constexpr std::uint8_t DisposalKeep = 1;               // leave the frame
constexpr std::uint8_t DisposalRestoreBackground = 2;  // clear to the background
constexpr std::uint8_t DisposalRestorePrevious = 3;    // put back what was under it

class EGifException : public std::runtime_error {
 public:
  explicit EGifException(const std::string& message) : std::runtime_error(message) {}
};

// Compressed image data: the data sub-blocks in the order they were added,
// with a byte cursor over them. The blocks lie back to back in one string so
// that the decoder can read them in one sweep; the cursor still moves block
// by block, and reading past the last block raises EListError.
class TByteBuffer {
 public:
  void Add(const std::string& block);
  void Add(const char* bytes, std::size_t count);
  // Makes room for `bytes` more bytes in `blocks` more blocks, so that
  // adding that much copies each byte once.
  void Reserve(std::size_t bytes, std::size_t blocks) {
    bytes_.reserve(bytes_.size() + bytes);
    ends_.reserve(ends_.size() + blocks);
  }
  // Gives back the room that growing block by block left unused, once
  // it is more than a quarter of what is held.
  void Compact() {
    if (bytes_.capacity() - bytes_.size() > bytes_.size() / 4 + 64) bytes_.shrink_to_fit();
    if (ends_.capacity() - ends_.size() > ends_.size() / 4 + 8) ends_.shrink_to_fit();
  }
  std::int32_t BlockCount() const { return static_cast<std::int32_t>(ends_.size()); }
  // Block i as a string, 1 <= i <= BlockCount() (EListError otherwise).
  std::string Block(std::int32_t i) const;

  // Cursor to the first byte of block 1; EListError when there are no blocks.
  void Reset();
  std::uint8_t NextByte();

  // All blocks' bytes back to back.
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;  // end offset of each block in bytes_
  std::int32_t blockNumber_ = 0;   // 1-based; 0 before Reset
  std::size_t position_ = 0;       // offset in bytes_ of the next byte
};

enum TExtensionKind : std::uint8_t {
  ekGraphicControl = 0,  // label 0xF9
  ekPlainText = 1,       // label 0x01
  ekApplication = 2,     // label 0xFF
  ekComment = 3,         // label 0xFE
};

// One extension block. Data holds the fixed bytes as read (6 for a graphic
// control, 13 for plain text, 12 for an application extension, none for a
// comment; fewer when the stream ended inside them), SubBlocks the data
// sub-blocks of the other kinds.
class TExtension {
 public:
  TExtensionKind Kind = ekComment;
  std::string Data;
  std::vector<std::string> SubBlocks;

  // Graphic control fields, 0 when Data is short.
  std::uint8_t Packed() const { return ByteAt(1); }
  std::uint16_t Delay() const {
    return static_cast<std::uint16_t>(ByteAt(2) | (ByteAt(3) << 8));
  }
  std::uint8_t TransparentIndex() const { return ByteAt(4); }

 private:
  std::uint8_t ByteAt(std::size_t i) const {
    return i < Data.size() ? static_cast<std::uint8_t>(Data[i]) : 0;
  }
};

// Owns its extensions and destroys them with itself, the last first.
using TExtensionList = TOwnedList<TExtension>;

// What a frame's Bitmap is to the Qt-free core: an object it may own and
// destroy. The Qt side derives its bitmaps from it.
class TBitmapHandle {
 public:
  virtual ~TBitmapHandle() = default;
};

}  // namespace gif

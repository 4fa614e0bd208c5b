#include "gif/GifUnit.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace gif {

namespace {

TGifCallbacks callbacks;

// Reads up to count bytes; what is missing at the end of the stream stays
// as the destination had it.
std::int64_t ReadSome(TStream& stream, void* buffer, std::int64_t count) {
  return stream.Read(buffer, count);
}

// Exactly count bytes: those the stream holds, then zeros where it was cut
// short (a cut stream reads as zeros).
void ReadPadded(TStream& stream, void* buffer, std::int64_t count) {
  const std::int64_t got = std::max<std::int64_t>(0, ReadSome(stream, buffer, count));
  std::memset(static_cast<char*>(buffer) + got, 0, static_cast<std::size_t>(count - got));
}

// One byte, or false at the end of the stream.
bool ReadByte(TStream& stream, std::uint8_t& byte) { return stream.Read(&byte, 1) == 1; }

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// "WHAT too large: AMOUNT, at most LIMIT allowed": the one form of every
// limit's refusal.
[[noreturn]] void RaiseTooLarge(const std::string& what, const std::string& amount,
                                std::int64_t limit) {
  throw EGifException(what + " too large: " + amount + ", at most " + std::to_string(limit) +
                      " allowed");
}

void CheckPixelCount(const char* what, std::uint16_t width, std::uint16_t height,
                     std::int64_t limit) {
  const std::int64_t pixels = std::int64_t{width} * height;
  if (pixels > limit)
    RaiseTooLarge(what, std::to_string(width) + " x " + std::to_string(height) + " pixels (" +
                            std::to_string(pixels) + ")",
                  limit);
}

void ReadColorTable(TStream& stream, TColorTable& table) {
  std::uint8_t bytes[768];
  const auto count = static_cast<std::int64_t>(table.Count) * 3;
  const std::int64_t got = ReadSome(stream, bytes, count);
  for (std::int64_t i = 0; i + 2 < got; i += 3)
    table.Entries[static_cast<std::size_t>(i / 3)] = {bytes[i], bytes[i + 1], bytes[i + 2]};
}

using ExtensionCharger = std::function<void(std::int64_t bytes)>;

// A chain of data sub-blocks: length byte L, L bytes, ... up to L = 0 or the
// end of the stream.
//   +---+---------+---+---------+-- ... --+---+
//   | L | L bytes | L | L bytes |         | 0 |
void ReadSubBlocks(TStream& stream, std::vector<std::string>& blocks, const ExtensionCharger& charge) {
  std::uint8_t length = 0;
  while (ReadByte(stream, length) && length != 0) {
    charge(SubBlockCharge + length);
    std::string block(length, '\0');
    block.resize(static_cast<std::size_t>(ReadSome(stream, block.data(), length)));
    blocks.push_back(std::move(block));
  }
}

std::string Hex2(std::uint8_t value) {
  static const char digits[] = "0123456789ABCDEF";
  return {digits[value >> 4], digits[value & 15]};
}

// Extension blocks while the introducer is 0x21; leaves the next introducer
// in introducer (0 when the stream ended).
//   +----+-------+------------------+------------------+
//   | 21 | label | fixed bytes (by  | sub-block chain  |
//   |    |       | label: 6/13/12/0)| (not for F9)     |
std::unique_ptr<TExtensionList> ReadExtensions(TStream& stream, std::uint8_t& introducer,
                                               const ExtensionCharger& charge) {
  auto list = std::make_unique<TExtensionList>();
  while (introducer == 0x21) {
    charge(ExtensionCharge);
    TExtension& ext = list->Add(std::make_unique<TExtension>());
    std::uint8_t label = 0;
    if (!ReadByte(stream, label)) {
      introducer = 0;
      break;
    }
    std::size_t fixed = 0;
    switch (label) {
      case 0xF9: ext.Kind = ekGraphicControl; fixed = 6; break;
      case 0x01: ext.Kind = ekPlainText; fixed = 13; break;
      case 0xFF: ext.Kind = ekApplication; fixed = 12; break;
      case 0xFE: ext.Kind = ekComment; fixed = 0; break;
      default:
        throw EGifException("Unrecognized extension block.\r\nCode = $" + Hex2(label));
    }
    if (fixed > 0) {
      charge(static_cast<std::int64_t>(fixed));
      ext.Data.assign(fixed, '\0');
      ext.Data.resize(static_cast<std::size_t>(ReadSome(stream, ext.Data.data(),
                                                        static_cast<std::int64_t>(fixed))));
    }
    if (ext.Kind != ekGraphicControl) ReadSubBlocks(stream, ext.SubBlocks, charge);
    if (!ReadByte(stream, introducer)) introducer = 0;
  }
  return list;
}

class CursorScope {
 public:
  CursorScope() {
    if (callbacks.ShowWaitCursor) callbacks.ShowWaitCursor();
  }
  ~CursorScope() {
    if (callbacks.ShowDefaultCursor) callbacks.ShowDefaultCursor();
  }
  CursorScope(const CursorScope&) = delete;
  CursorScope& operator=(const CursorScope&) = delete;
};

}  // namespace

bool DrawingTransparent = false;

void SetGifCallbacks(TGifCallbacks c) { callbacks = std::move(c); }
const TGifCallbacks& GifCallbacks() { return callbacks; }

// ---------------------------------------------------------------- frames

TGifSubImage::TGifSubImage(std::int32_t colorCount, TGifFile* owner)
    : Owner(owner),
      Extensions(std::make_unique<TExtensionList>()),
      CompressedData(std::make_unique<TByteBuffer>()),
      Pixels(std::make_unique<TByteArray2D>(0, 0)) {
  std::int32_t bits = 0;
  for (std::int32_t b = 1; b <= 8; ++b)
    if (colorCount == (1 << b)) bits = b;
  if (bits == 0)
    throw EGifException("Number of colors (" + std::to_string(colorCount) +
                        ") wrong; must be a power of 2");
  LocalColorBits = static_cast<std::uint8_t>(bits);
  CodeSize = static_cast<std::uint8_t>(bits == 1 ? 2 : bits);
  LocalColorTable = std::make_unique<TColorTable>(colorCount);
  EncodeFlags();
}

TGifSubImage::TGifSubImage(WrapTag, TGifFile* owner, TBitmapHandle* bitmap)
    : Owner(owner), bitmap_(bitmap) {}

TGifSubImage::~TGifSubImage() {
  if (ownsBitmap_) delete bitmap_;
}

void TGifSubImage::SetOwnedBitmap(std::unique_ptr<TBitmapHandle> bitmap) {
  if (ownsBitmap_) delete bitmap_;
  bitmap_ = bitmap.release();
  ownsBitmap_ = true;
}

void TGifSubImage::EncodeFlags() {
  ImageFlags = 0;
  if (HasLocalColorTable) ImageFlags |= 0x80;
  if (Interlaced) ImageFlags |= 0x40;
  if (HasLocalColorTable) ImageFlags |= static_cast<std::uint8_t>(LocalColorBits - 1);
}

// The image descriptor (after 0x2C), an optional local colour table, then
// the image data:
//   +------+-----+-------+--------+-------+   +-----------+
//   | Left | Top | Width | Height | Flags |   | 3 * 2^n   |  when Flags bit 7
//   |  u16 | u16 |  u16  |  u16   |  u8   |   | RGB bytes |  n = (Flags & 7)+1
//   +------+-----+-------+--------+-------+   +-----------+
//   +-----------+---+---------+-- ... --+---+
//   | code size | L | L bytes |         | 0 |
void TGifSubImage::ReadFromStream(TStream& stream) {
  std::uint8_t d[9];
  ReadPadded(stream, d, 9);
  Left = Le16(d);
  Top = Le16(d + 2);
  Width = Le16(d + 4);
  Height = Le16(d + 6);
  ImageFlags = d[8];
  HasLocalColorTable = (ImageFlags & 0x80) != 0;
  Interlaced = (ImageFlags & 0x40) != 0;
  LocalColorBits = static_cast<std::uint8_t>((ImageFlags & 7) + 1);
  LocalColorTable->Count = 1 << LocalColorBits;
  if (HasLocalColorTable) ReadColorTable(stream, *LocalColorTable);

  if (Owner != nullptr)
    Owner->ChargeFrame(Width, Height);
  else
    CheckPixelCount("Frame", Width, Height, MaxPixels);
  Pixels = std::make_unique<TByteArray2D>(Width, Height);

  // The data buffer is sized before the blocks arrive, so that adding them
  // copies each byte once: to what the rest of the stream could hold, at
  // most, and no more than the frame's pixels take at 12 bits each, the
  // most a picture's LZW data needs (anything else grows the buffer as it
  // comes, and Compact gives back what was not used). Counting the blocks
  // first would wait on memory at every length byte.
  ReadByte(stream, CodeSize);
  std::uint8_t length = 0;
  ReadByte(stream, length);
  const std::int64_t rest = stream.Size() - stream.Position();
  const std::int64_t likely = std::int64_t{Width} * Height * 3 / 2 + 256;
  const auto room = static_cast<std::size_t>(std::max<std::int64_t>(0, std::min(rest, likely)));
  CompressedData->Reserve(room, room / 255 + 1);
  char block[256];
  while (length != 0 && stream.Position() < stream.Size()) {
    const std::int64_t got = ReadSome(stream, block, length);
    const bool complete = got == length;
    if (complete && !ReadByte(stream, length)) length = 0;
    CompressedData->Add(block, static_cast<std::size_t>(got));
    if (!complete) break;
  }
  CompressedData->Compact();
  Decode();
}

void TGifSubImage::SetExtensions(std::unique_ptr<TExtensionList> list) {
  Extensions = std::move(list);
  Disposal = DisposalNone;
  Transparent = false;
  if (!Extensions) return;
  for (const auto& ext : *Extensions) {
    if (ext->Kind != ekGraphicControl) continue;
    Disposal = static_cast<std::uint8_t>((ext->Packed() >> 2) & 7);
    Transparent = (ext->Packed() & 1) != 0;
  }
}

std::uint16_t TGifSubImage::GetDelay() const {
  std::uint16_t delay = 0;
  if (!Extensions) return 0;
  for (const auto& ext : *Extensions)
    if (ext->Kind == ekGraphicControl) delay = ext->Delay();
  return delay;
}

const TColorTable& TGifSubImage::ColorTable() const {
  if (HasLocalColorTable && LocalColorTable) return *LocalColorTable;
  return *Owner->GlobalColorTable;
}

std::int32_t TGifSubImage::TransparentIndex() const {
  if (!Extensions) return -1;
  for (const auto& ext : *Extensions)
    if (ext->Kind == ekGraphicControl && (ext->Packed() & 1) != 0) return ext->TransparentIndex();
  return -1;
}

std::int32_t TGifSubImage::GetTransparentColor() const {
  const std::int32_t index = TransparentIndex();
  return index < 0 ? -1 : ColorTable().GetColor(static_cast<std::uint8_t>(index));
}

std::int32_t TGifSubImage::GetBackgroundColor() const {
  return ColorTable().GetColor(Owner->BackgroundIndex);
}

// An uncompressed 8-bit BMP, all numbers little-endian:
//
//   offset size  file header (14 bytes)
//        0    2  "BM"
//        2    4  file size
//        6    4  reserved, 0
//       10    4  offset of the pixel rows (1078)
//               information header (40 bytes)
//       14    4  its size, 40
//       18    4  width            22    4  height (rows bottom-up)
//       26    2  planes, 1        28    2  bits per pixel, 8
//       30    4  compression, 0   34    4  image size, 0 (uncompressed)
//       38    4  horizontal resolution, pixels per metre (143, about 96 dpi)
//       42    4  vertical resolution  46  4  colours used, 0   50  4  important, 0
//       54 1024  palette: 256 entries of blue, green, red, 0
//     1078       rows, bottom-up, each padded with zeros to a multiple of 4
namespace {
constexpr std::size_t BmpFileSize = 2, BmpPixelsOffset = 10, BmpInfoSize = 14, BmpWidth = 18,
                      BmpHeight = 22, BmpPlanes = 26, BmpBitsPerPixel = 28, BmpXPixelsPerMetre = 38,
                      BmpYPixelsPerMetre = 42, BmpPalette = 54, BmpPixels = 1078;
constexpr std::uint32_t BmpInfoHeaderSize = 40, BmpPixelsPerMetre = 143;
}  // namespace

void TGifSubImage::SaveAsBitmap(TMemoryStream& stream) const {
  const std::uint32_t width = Pixels ? static_cast<std::uint32_t>(Pixels->Columns()) : 0;
  const std::uint32_t height = Pixels ? static_cast<std::uint32_t>(Pixels->Rows()) : 0;
  const std::uint32_t stride = (width + 3) & ~3u;
  std::string out(BmpPixels + static_cast<std::size_t>(height) * stride, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(out.data());
  auto put32 = [p](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  auto put16 = [p](std::size_t at, std::uint16_t v) {
    p[at] = static_cast<std::uint8_t>(v);
    p[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  p[0] = 'B';
  p[1] = 'M';
  put32(BmpFileSize, static_cast<std::uint32_t>(out.size()));
  put32(BmpPixelsOffset, BmpPixels);
  put32(BmpInfoSize, BmpInfoHeaderSize);
  put32(BmpWidth, width);
  put32(BmpHeight, height);
  put16(BmpPlanes, 1);
  put16(BmpBitsPerPixel, 8);
  put32(BmpXPixelsPerMetre, BmpPixelsPerMetre);
  put32(BmpYPixelsPerMetre, BmpPixelsPerMetre);
  const TColorTable& table = ColorTable();
  for (std::size_t i = 0; i < 256; ++i) {
    p[BmpPalette + 4 * i] = table.Entries[i].Blue;
    p[BmpPalette + 4 * i + 1] = table.Entries[i].Green;
    p[BmpPalette + 4 * i + 2] = table.Entries[i].Red;
  }
  for (std::uint32_t r = 0; r < height; ++r) {
    const std::uint8_t* row = Pixels->RowData(static_cast<std::int32_t>(height - r));
    if (width > 0) std::memcpy(p + BmpPixels + static_cast<std::size_t>(r) * stride, row, width);
  }
  stream.SetPosition(0);
  stream.Write(out.data(), static_cast<std::int64_t>(out.size()));
  stream.SetPosition(0);
}

// ---------------------------------------------------------------- files

TGifFile::TGifFile() : GlobalColorTable(std::make_unique<TColorTable>(0)) {}

void TGifFile::ChargeFrame(std::uint16_t width, std::uint16_t height) {
  CheckPixelCount("Frame", width, height, Limits.FramePixels);
  const std::int64_t total = pixelsRead_ + std::int64_t{width} * height;
  if (total > Limits.TotalPixels)
    RaiseTooLarge("Frames together", std::to_string(total) + " pixels", Limits.TotalPixels);
  pixelsRead_ = total;
}

void TGifFile::ChargeExtension(std::int64_t bytes) {
  extensionBytesRead_ += bytes;
  if (extensionBytesRead_ > Limits.ExtensionBytes)
    RaiseTooLarge("Extension data", std::to_string(extensionBytesRead_) + " bytes",
                  Limits.ExtensionBytes);
}

TGifSubImage& TGifFile::AddBitmap(TBitmapHandle* bitmap) {
  return SubImages.Add(
      std::unique_ptr<TGifSubImage>(new TGifSubImage(TGifSubImage::WrapTag{}, this, bitmap)));
}

// The stream's layout:
//   +--------+----------------------------+---------------+
//   | header | logical screen descriptor  | global colour |  when ScreenFlags
//   | 6 B    | W u16, H u16, flags u8,    | table 3 * 2^n |  bit 7, n =
//   |        | background u8, aspect u8   |               |  (flags & 7) + 1
//   +--------+----------------------------+---------------+
//   then blocks, each led by an introducer byte: 0x21 extension,
//   0x2C image, 0x3B trailer.
void TGifFile::LoadFromStream(TStream& stream) {
  CursorScope cursor;
  pixelsRead_ = 0;
  extensionBytesRead_ = 0;
  const ExtensionCharger charge = [this](std::int64_t bytes) { ChargeExtension(bytes); };
  stream.SetPosition(0);
  std::int64_t lastLoopPosition = 0;

  char header[6];
  ReadPadded(stream, header, 6);
  Header.assign(header, 6);
  const std::string version = Header.substr(3, 3);
  if (version != "87a" && version != "89a" && version != "87A" && version != "89A")
    throw EGifException("Gif Version must be 87a or 89a");

  std::uint8_t s[7];
  ReadPadded(stream, s, 7);
  ScreenWidth = Le16(s);
  ScreenHeight = Le16(s + 2);
  ScreenFlags = s[4];
  BackgroundIndex = s[5];
  AspectRatio = s[6];
  CheckPixelCount("Logical screen", ScreenWidth, ScreenHeight, Limits.ScreenPixels);
  HasGlobalColorTable = (ScreenFlags & 0x80) != 0;
  GlobalColorBits = static_cast<std::uint8_t>((ScreenFlags & 7) + 1);
  GlobalColorTable->Count = 1 << GlobalColorBits;
  if (HasGlobalColorTable) ReadColorTable(stream, *GlobalColorTable);

  std::uint8_t introducer = 0;
  ReadByte(stream, introducer);
  while (introducer != 0x3B) {
    if (stream.Position() >= stream.Size()) break;
    if (stream.Position() == lastLoopPosition) break;
    lastLoopPosition = stream.Position();
    auto extensions = ReadExtensions(stream, introducer, charge);
    if (introducer != 0x2C) continue;
    if (SubImages.Count() >= Limits.Frames)
      RaiseTooLarge("Frame count", std::to_string(std::int64_t{SubImages.Count()} + 1) + " frames",
                    Limits.Frames);
    auto frame = std::make_unique<TGifSubImage>(GlobalColorTable->Count, this);
    frame->SetExtensions(std::move(extensions));
    frame->ReadFromStream(stream);
    SubImages.Add(std::move(frame));
    if (stream.Position() < stream.Size()) {
      ReadByte(stream, introducer);
    } else {
      introducer = 0x3B;
    }
  }
}

}  // namespace gif

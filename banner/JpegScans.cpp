#include "banner/JpegScans.h"

#include <algorithm>
#include <array>

namespace banner {

namespace {

// Markers (the byte after 0xFF).
constexpr std::uint8_t kStuffed = 0x00;  // in entropy-coded data: a data byte 0xFF
constexpr std::uint8_t kTem = 0x01;
constexpr std::uint8_t kRst0 = 0xD0, kRst7 = 0xD7;
constexpr std::uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA;
constexpr std::uint8_t kDht = 0xC4, kJpg = 0xC8, kDac = 0xCC;
constexpr std::uint8_t kFill = 0xFF;

bool IsFrameHeader(std::uint8_t m) {
  return m >= 0xC0 && m <= 0xCF && m != kDht && m != kJpg && m != kDac;
}

struct Component {
  int id = -1;
  std::int64_t blocks = 0;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : b_(bytes) {}
  std::size_t Size() const { return b_.size(); }
  bool Has(std::size_t pos, std::size_t n) const { return pos <= b_.size() && n <= b_.size() - pos; }
  std::uint8_t U8(std::size_t pos) const { return static_cast<std::uint8_t>(b_[pos]); }
  int U16(std::size_t pos) const { return (U8(pos) << 8) | U8(pos + 1); }

 private:
  std::string_view b_;
};

}  // namespace

std::int64_t JpegComponentBlocks(std::int64_t width, std::int64_t height, int h, int v, int hMax,
                                 int vMax) {
  if (h <= 0 || v <= 0 || hMax <= 0 || vMax <= 0) return 0;
  const auto up = [](std::int64_t a, std::int64_t b) { return (a + b - 1) / b; };
  return up(width * h, std::int64_t{hMax} * 8) * up(height * v, std::int64_t{vMax} * 8);
}

// A JPEG stream:
//   FF D8                                       start of image
//   FF m  L(u16, counts itself)  L-2 bytes      a segment, m not below
//   FF C0..CF (not C4 C8 CC)                    frame header: P, Y u16, X u16, Nf,
//                                               Nf x (id, H<<4|V, Tq)
//   FF DA  L  Ns, Ns x (id, tables), Ss Se A    start of scan, then entropy-coded
//                                               data: FF 00 is a data byte, FF D0..D7
//                                               restart markers, FF FF.. fill
//   FF D9                                       end of image
JpegScanCost MeasureJpegScans(std::string_view bytes) {
  JpegScanCost cost;
  const Reader in(bytes);
  if (!in.Has(0, 2) || in.U8(0) != 0xFF || in.U8(1) != kSoi) return cost;

  std::array<Component, 256> components{};  // at most 255 in a frame header
  std::size_t componentCount = 0;
  bool sawFrame = false;

  std::size_t pos = 2;
  while (pos < in.Size()) {
    // The next marker: an 0xFF, any fill bytes, and a byte that is neither
    // a stuffed zero nor a restart; whatever lies between is passed over.
    if (in.U8(pos) != 0xFF) {
      ++pos;
      continue;
    }
    std::size_t q = pos + 1;
    while (q < in.Size() && in.U8(q) == kFill) ++q;
    if (q >= in.Size()) break;
    const std::uint8_t m = in.U8(q);
    pos = q + 1;
    if (m == kStuffed || m == kTem || (m >= kRst0 && m <= kRst7)) continue;
    if (m == kEoi || m == kSoi) break;
    if (!in.Has(pos, 2)) break;
    const std::size_t length = static_cast<std::size_t>(in.U16(pos));
    const std::size_t body = pos + 2;
    const std::size_t bodyLength = length >= 2 ? length - 2 : 0;

    if (IsFrameHeader(m)) {
      if (sawFrame) break;
      sawFrame = true;
      if (in.Has(body, 6)) {
        const std::int64_t height = in.U16(body + 1);
        const std::int64_t width = in.U16(body + 3);
        const std::size_t count = in.U8(body + 5);
        int hMax = 0, vMax = 0;
        for (std::size_t i = 0; i < count && in.Has(body + 6 + 3 * i, 3); ++i) {
          const std::uint8_t sampling = in.U8(body + 6 + 3 * i + 1);
          hMax = std::max(hMax, sampling >> 4);
          vMax = std::max(vMax, sampling & 15);
        }
        for (std::size_t i = 0; i < count && in.Has(body + 6 + 3 * i, 3); ++i) {
          const std::uint8_t sampling = in.U8(body + 6 + 3 * i + 1);
          components[componentCount++] = {
              in.U8(body + 6 + 3 * i),
              JpegComponentBlocks(width, height, sampling >> 4, sampling & 15, hMax, vMax)};
        }
      }
    } else if (m == kSos) {
      ++cost.Scans;
      if (in.Has(body, 1)) {
        const std::size_t count = in.U8(body);
        for (std::size_t i = 0; i < count && in.Has(body + 1 + 2 * i, 2); ++i) {
          const int id = in.U8(body + 1 + 2 * i);
          for (std::size_t c = 0; c < componentCount; ++c)
            if (components[c].id == id) {
              cost.BlockVisits += components[c].blocks;
              break;
            }
        }
      }
    }
    // libjpeg skips a segment by its length, and only past the length
    // bytes when the length is too short to count them.
    pos = body + bodyLength;
  }
  return cost;
}

}  // namespace banner

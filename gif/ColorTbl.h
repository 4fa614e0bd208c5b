#pragma once
#include <array>
#include <cstdint>

// A colour table: Count colours the table stands for, and storage for all
// 256 entries whatever Count is, so that every index 0 to 255 has a colour.
namespace gif {

struct TRGB {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
};

class TColorTable {
 public:
  // Count := n. Entries: n = 0 or 2 black and white; 16 the standard
  // colours; 256 a grey ramp; otherwise black.
  explicit TColorTable(std::int32_t n);

  // Entry index as 0x00BBGGRR (red in the low byte).
  std::int32_t GetColor(std::uint8_t index) const;

  std::int32_t Count;
  std::array<TRGB, 256> Entries{};
};

}  // namespace gif

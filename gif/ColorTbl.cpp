#include "gif/ColorTbl.h"

namespace gif {

namespace {
constexpr TRGB StandardColors[16] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
    {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};
}  // namespace

TColorTable::TColorTable(std::int32_t n) : Count(n) {
  switch (n) {
    case 0:
    case 2:
      Entries[1] = {255, 255, 255};
      break;
    case 16:
      for (int i = 0; i < 16; ++i) Entries[static_cast<std::size_t>(i)] = StandardColors[i];
      break;
    case 256:
      for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        Entries[static_cast<std::size_t>(i)] = {v, v, v};
      }
      break;
    default:
      break;
  }
}

std::int32_t TColorTable::GetColor(std::uint8_t index) const {
  const TRGB& e = Entries[index];
  return static_cast<std::int32_t>(e.Red) | (static_cast<std::int32_t>(e.Green) << 8) |
         (static_cast<std::int32_t>(e.Blue) << 16);
}

}  // namespace gif

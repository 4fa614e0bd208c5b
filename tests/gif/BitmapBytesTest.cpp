#include <gtest/gtest.h>

#include "gif/GifUnit.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestSupport.h"

using namespace gif;
using namespace giftest;

namespace {

std::uint32_t Le32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
  return v;
}
std::uint32_t Le16(const std::string& b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint8_t>(b[at + 1]) << 8);
}

}  // namespace

struct BmpCase {
  int width;
  int stride;
};
class SaveAsBitmapTest : public testing::TestWithParam<BmpCase> {};

// A frame of 2 rows: row 1 holds 1, 2, 3, ..., row 2 holds 3, 2, 1, ...
TEST_P(SaveAsBitmapTest, BytesAsTheTableGivesThem) {
  const int w = GetParam().width, stride = GetParam().stride;
  std::vector<int> pixels;
  for (int x = 0; x < w; ++x) pixels.push_back(x % 3 + 1);
  for (int x = 0; x < w; ++x) pixels.push_back(3 - x % 3);
  auto f = Load(Head(w, 2) + SimpleImage(w, 2, pixels) + ";");
  TMemoryStream out;
  out.Write("junk", 4);
  f->GetSubImage(1).SaveAsBitmap(out);
  const std::string& b = out.Bytes();
  EXPECT_EQ(out.Position(), 0);
  ASSERT_EQ(b.size(), static_cast<std::size_t>(1078 + 2 * stride));
  EXPECT_EQ(b.substr(0, 2), "BM");
  const std::vector<std::pair<std::size_t, std::uint32_t>> fields32 = {
      {2, 1078 + 2 * stride}, {10, 1078}, {14, 40}, {18, w}, {22, 2}, {30, 0},
      {34, 0}, {38, 143}, {42, 143}, {46, 0}, {50, 0}};
  for (auto [at, value] : fields32) EXPECT_EQ(Le32(b, at), value) << "offset " << at;
  EXPECT_EQ(Le16(b, 6), 0u);
  EXPECT_EQ(Le16(b, 8), 0u);
  EXPECT_EQ(Le16(b, 26), 1u);
  EXPECT_EQ(Le16(b, 28), 8u);
  // Palette: the global table's four colours (i, 2i, 3i) as blue, green,
  // red, 0; the other 252 entries black.
  for (int i = 0; i < 256; ++i) {
    const std::size_t at = 54 + 4 * static_cast<std::size_t>(i);
    const int v = i < 4 ? i : 0;
    EXPECT_EQ(static_cast<std::uint8_t>(b[at]), 3 * v);
    EXPECT_EQ(static_cast<std::uint8_t>(b[at + 1]), 2 * v);
    EXPECT_EQ(static_cast<std::uint8_t>(b[at + 2]), v);
    EXPECT_EQ(b[at + 3], 0);
  }
  // Bottom row first, each padded with zeros.
  std::string rows;
  for (int x = 0; x < w; ++x) rows += static_cast<char>(3 - x % 3);
  rows += std::string(static_cast<std::size_t>(stride - w), '\0');
  for (int x = 0; x < w; ++x) rows += static_cast<char>(x % 3 + 1);
  rows += std::string(static_cast<std::size_t>(stride - w), '\0');
  EXPECT_EQ(b.substr(1078), rows);
}

INSTANTIATE_TEST_SUITE_P(Widths, SaveAsBitmapTest,
                         testing::Values(BmpCase{3, 4}, BmpCase{4, 4}, BmpCase{5, 8}, BmpCase{1, 4}));

TEST(SaveAsBitmap, LocalTableGivesThePalette) {
  std::string table = std::string("\x10\x20\x30\x40\x50\x60", 6);
  CodeWriter w(2);
  w.Codes({w.Clear(), 1, w.End()});
  auto f = Load(Head(1, 1) + Image(0, 0, 1, 1, 0x80, 2, w.Bytes(), table) + ";");
  TMemoryStream out;
  f->GetSubImage(1).SaveAsBitmap(out);
  EXPECT_EQ(out.Bytes().substr(54, 8), std::string("\x30\x20\x10\0\x60\x50\x40\0", 8));
  // Entry 2 keeps what the table was made with: a frame of a 4-colour file
  // starts with a 4-colour table, which is all black.
  EXPECT_EQ(out.Bytes().substr(62, 4), std::string(4, '\0'));
}

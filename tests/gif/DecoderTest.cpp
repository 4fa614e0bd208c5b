#include <gtest/gtest.h>

#include "gif/GifUnit.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestSupport.h"

using namespace gif;
using namespace giftest;

namespace {

struct Decoded {
  std::vector<int> pixels;
  std::string error;  // what() of the error, "" when none
  std::string errorClass;
  int frames = 0;
};

Decoded DecodeFrame(int width, int height, int codeSize, const std::string& data, int flags = 0) {
  Decoded out;
  auto file = std::make_unique<TGifFile>();
  TMemoryStream stream(Head(width, height, 8) + Image(0, 0, width, height, flags, codeSize, data) + ";");
  try {
    file->LoadFromStream(stream);
  } catch (const EGifException& e) {
    out.error = e.what();
    out.errorClass = "EGifException";
  } catch (const EIndexOutOfBounds& e) {
    out.error = e.what();
    out.errorClass = "EIndexOutOfBounds";
  }
  out.frames = file->SubImages.Count();
  if (out.frames > 0) out.pixels = PixelsOf(file->GetSubImage(1));
  return out;
}

std::vector<int> Repeat(int value, int count) { return std::vector<int>(static_cast<std::size_t>(count), value); }

}  // namespace

// ---------------------------------------------------------------- code sizes

struct CodeSizeCase {
  int codeSize;
  bool accepted;
};
class CodeSizeTest : public testing::TestWithParam<CodeSizeCase> {};

TEST_P(CodeSizeTest, RangeIsTwoToNine) {
  const int cs = GetParam().codeSize;
  CodeWriter w(cs < 2 ? 2 : (cs > 9 ? 9 : cs));
  w.Codes({w.Clear(), 3, 1, w.End()});
  const Decoded d = DecodeFrame(2, 1, cs, w.Bytes());
  if (GetParam().accepted) {
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.pixels, (std::vector<int>{3, 1}));
  } else {
    EXPECT_EQ(d.error, "Bad code Size");
    EXPECT_EQ(d.errorClass, "EGifException");
    EXPECT_EQ(d.frames, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, CodeSizeTest,
                         testing::Values(CodeSizeCase{0, false}, CodeSizeCase{1, false},
                                         CodeSizeCase{2, true}, CodeSizeCase{8, true},
                                         CodeSizeCase{9, true}, CodeSizeCase{10, false},
                                         CodeSizeCase{255, false}));

TEST(Decoder, CodeSizeNineUsesClearCode512AndKeepsTheLowByte) {
  CodeWriter w(9);
  ASSERT_EQ(w.Clear(), 512);
  w.Codes({512, 300, 7, 514, 513});
  const Decoded d = DecodeFrame(4, 1, 9, w.Bytes());
  EXPECT_EQ(d.error, "");
  EXPECT_EQ(d.pixels, (std::vector<int>{300 & 0xFF, 7, 300 & 0xFF, 7}));
}

// ---------------------------------------------------------------- code streams

struct StreamCase {
  std::string name;
  int width;
  std::vector<int> codes;  // code size 2: clear 4, end 5, table from 6
  std::vector<int> pixels;
  std::string error;
};
class CodeStreamTest : public testing::TestWithParam<StreamCase> {};

TEST_P(CodeStreamTest, Decodes) {
  const StreamCase& c = GetParam();
  CodeWriter w(2);
  for (int code : c.codes) w.Code(code);
  const Decoded d = DecodeFrame(c.width, 1, 2, w.Bytes());
  EXPECT_EQ(d.error, c.error);
  if (c.error.empty()) {
    EXPECT_EQ(d.pixels, c.pixels);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CodeStreamTest,
    testing::Values(
        StreamCase{"Plain", 4, {4, 1, 2, 6, 5}, {1, 2, 1, 2}, ""},
        // The code being defined: previous string plus its own first byte.
        StreamCase{"CodeEqualToNextCode", 6, {4, 1, 6, 7, 5}, {1, 1, 1, 1, 1, 1}, ""},
        StreamCase{"DefinedCodeAfterPair", 7, {4, 2, 3, 6, 8, 5}, {2, 3, 2, 3, 2, 3, 2}, ""},
        StreamCase{"RepeatedClearCodes", 3, {4, 4, 4, 3, 2, 1, 5}, {3, 2, 1}, ""},
        StreamCase{"ClearInTheMiddle", 4, {4, 1, 2, 4, 3, 6, 5}, {1, 2, 3, 3}, ""},
        // Clear, then a code above EndCode: colour 0.
        StreamCase{"FirstCodeAboveEndCode", 3, {4, 7, 2, 6, 5}, {0, 2, 0}, ""},
        StreamCase{"NoLeadingClearCode", 4, {1, 2, 6, 5}, {1, 2, 1, 2}, ""},
        StreamCase{"EndCodeAfterClear", 2, {4, 5}, {}, "Bad code"},
        StreamCase{"EndCodeAfterClears", 2, {4, 4, 4, 5}, {}, "Bad code"},
        StreamCase{"CodeAboveNextCode", 4, {4, 1, 7, 5}, {}, "Bad code"},
        StreamCase{"EndCodeFirst", 2, {5}, {0, 0}, ""}),
    [](const auto& info) { return info.param.name; });

TEST(Decoder, ThreeClearCodesThenCodeFiveIsLikeOne) {
  CodeWriter a(8), b(8);
  a.Codes({256, 256, 256, 5, 6, 258, 257});
  b.Codes({256, 5, 6, 258, 257});
  const Decoded da = DecodeFrame(4, 1, 8, a.Bytes());
  const Decoded db = DecodeFrame(4, 1, 8, b.Bytes());
  EXPECT_EQ(da.error, "");
  EXPECT_EQ(da.pixels, (std::vector<int>{5, 6, 5, 6}));
  EXPECT_EQ(da.pixels, db.pixels);
}

// ---------------------------------------------------------------- full table

namespace {

// Clear, then codes that add table entries until 4096 entries stand at 12
// bits: each code is the code before it (known), so the strings grow.
CodeWriter FillTable(int codeSize, int* pixels) {
  CodeWriter w(codeSize);
  w.Code(w.Clear());
  w.Code(1);
  *pixels = 1;
  while (w.NextCode() < 4096) {
    w.Code(1);
    ++*pixels;
  }
  return w;
}

}  // namespace

TEST(Decoder, FullTableFollowedByEndCodeIsCodeSizeOverflow) {
  int pixels = 0;
  CodeWriter w = FillTable(2, &pixels);
  w.Raw(w.End(), 12);
  const Decoded d = DecodeFrame(pixels, 1, 2, w.Bytes());
  EXPECT_EQ(d.error, "Code size overflow");
  EXPECT_EQ(d.errorClass, "EGifException");
}

TEST(Decoder, FullTableFollowedByOtherCodeIsCodeSizeOverflow) {
  int pixels = 0;
  CodeWriter w = FillTable(2, &pixels);
  w.Raw(1, 12);
  EXPECT_EQ(DecodeFrame(pixels + 1, 1, 2, w.Bytes()).error, "Code size overflow");
}

TEST(Decoder, FullTableFollowedByClearCodeGoesOnAtTheStartWidth) {
  int pixels = 0;
  CodeWriter w = FillTable(2, &pixels);
  w.Code(w.Clear());
  ASSERT_EQ(w.Width(), 3);
  w.Codes({2, 3, 6, w.End()});
  const Decoded d = DecodeFrame(pixels + 4, 1, 2, w.Bytes());
  EXPECT_EQ(d.error, "");
  std::vector<int> expected = Repeat(1, pixels);
  for (int p : {2, 3, 2, 3}) expected.push_back(p);
  EXPECT_EQ(d.pixels, expected);
}

// ---------------------------------------------------------------- rows

class InterlaceTest : public testing::TestWithParam<std::pair<int, std::vector<int>>> {};

// Row k of the data carries the value k; the frame shows where it landed.
TEST_P(InterlaceTest, RowOrder) {
  const int height = GetParam().first;
  const std::vector<int>& order = GetParam().second;
  std::vector<int> data;
  for (int k = 0; k < height; ++k)
    for (int x = 0; x < 2; ++x) data.push_back(k);
  CodeWriter w(4);
  w.Code(w.Clear());
  for (int p : data) w.Code(p);
  w.Code(w.End());
  const Decoded d = DecodeFrame(2, height, 4, w.Bytes(), 0x40);
  ASSERT_EQ(d.error, "");
  std::vector<int> expected(static_cast<std::size_t>(2 * height));
  for (int k = 0; k < height; ++k) {
    expected[static_cast<std::size_t>(2 * order[static_cast<std::size_t>(k)])] = k;
    expected[static_cast<std::size_t>(2 * order[static_cast<std::size_t>(k)] + 1)] = k;
  }
  EXPECT_EQ(d.pixels, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Heights, InterlaceTest,
    testing::Values(std::make_pair(8, std::vector<int>{0, 4, 2, 6, 1, 3, 5, 7}),
                    std::make_pair(3, std::vector<int>{0, 2, 1}), std::make_pair(1, std::vector<int>{0}),
                    std::make_pair(2, std::vector<int>{0, 1}),
                    std::make_pair(13, std::vector<int>{0, 8, 4, 12, 2, 6, 10, 1, 3, 5, 7, 9, 11})));

// In these two the codes fill whole bytes, so no padding bits can make up a
// further code.
TEST(Decoder, DataEndingMidRowLeavesThatRowAndLaterRowsAtZero) {
  CodeWriter w(2);
  w.Code(w.Clear());
  for (int p : {1, 2, 3, 1, 3, 3}) w.Code(p);  // a row and a half: 24 bits
  const Decoded d = DecodeFrame(4, 3, 2, w.Bytes());
  EXPECT_EQ(d.error, "");
  EXPECT_EQ(d.pixels, (std::vector<int>{1, 2, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Decoder, DataEndingMidRowOfAnInterlacedFrame) {
  CodeWriter w(3);
  w.Code(w.Clear());
  for (int p : {1, 2, 3, 3, 2}) w.Code(p);  // 24 bits
  const Decoded d = DecodeFrame(2, 8, 3, w.Bytes(), 0x40);
  EXPECT_EQ(d.error, "");
  std::vector<int> expected = Repeat(0, 16);
  expected[0] = 1, expected[1] = 2, expected[8] = 3, expected[9] = 3;
  EXPECT_EQ(d.pixels, expected);
}

struct OverrunCase {
  std::string name;
  int width, height, flags, pixels;
  bool raises;
};
class OverrunTest : public testing::TestWithParam<OverrunCase> {};

TEST_P(OverrunTest, CompleteRowBeyondTheLastIsOutOfBounds) {
  const OverrunCase c = GetParam();
  CodeWriter w(2);
  w.Code(w.Clear());
  for (int i = 0; i < c.pixels; ++i) w.Code(i % 3 + 1);
  w.Code(w.End());
  const Decoded d = DecodeFrame(c.width, c.height, 2, w.Bytes(), c.flags);
  if (c.raises) {
    EXPECT_EQ(d.error, "Dynamic array index out of bounds");
    EXPECT_EQ(d.errorClass, "EIndexOutOfBounds");
    EXPECT_EQ(d.frames, 0);
  } else {
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.frames, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, OverrunTest,
    testing::Values(OverrunCase{"ZeroWide", 0, 3, 0, 1, true}, OverrunCase{"ZeroHigh", 3, 0, 0, 3, true},
                    OverrunCase{"ZeroHighPartialRow", 3, 0, 0, 2, false},
                    OverrunCase{"OneRowTooMany", 3, 2, 0, 9, true},
                    OverrunCase{"PartialExtraRow", 3, 2, 0, 8, false},
                    OverrunCase{"InterlacedOneRowTooMany", 3, 3, 0x40, 12, true},
                    OverrunCase{"ExactFit", 3, 3, 0x40, 9, false}),
    [](const auto& info) { return info.param.name; });

TEST(Decoder, LongRunsAcrossRows) {
  // One colour, 4000 pixels: the strings grow long and cross row ends.
  int pixels = 0;
  CodeWriter w(2);
  w.Code(w.Clear());
  w.Code(2);
  int emitted = 1, length = 1;
  while (emitted + length + 1 <= 4000 && w.NextCode() < 4095) {
    w.Code(w.NextCode());
    ++length;
    emitted += length;
  }
  pixels = emitted;
  w.Code(w.End());
  const Decoded d = DecodeFrame(37, (pixels + 36) / 37, 2, w.Bytes());
  ASSERT_EQ(d.error, "");
  const int complete = pixels / 37 * 37;
  EXPECT_EQ(std::vector<int>(d.pixels.begin(), d.pixels.begin() + complete), Repeat(2, complete));
  EXPECT_EQ(std::vector<int>(d.pixels.begin() + complete, d.pixels.end()),
            Repeat(0, static_cast<int>(d.pixels.size()) - complete));
}

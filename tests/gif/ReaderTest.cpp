#include <gtest/gtest.h>

#include <functional>

#include "gif/GifUnit.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestSupport.h"
#include "tests/gif/HostileGifs.h"

using namespace gif;
using namespace giftest;

namespace {

// A 2 x 1 frame, pixels 1 and 2.
std::string TinyImage(int left = 0, int top = 0) {
  CodeWriter w(2);
  w.Codes({w.Clear(), 1, 2, w.End()});
  return Image(left, top, 2, 1, 0, 2, w.Bytes());
}

}  // namespace

// ---------------------------------------------------------------- colours

struct ColorCase {
  int count;
  int index;
  std::int32_t color;
};
class ColorTableTest : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorTableTest, NewTableEntries) {
  const ColorCase c = GetParam();
  TColorTable t(c.count);
  EXPECT_EQ(t.Count, c.count);
  EXPECT_EQ(t.GetColor(static_cast<std::uint8_t>(c.index)), c.color);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, ColorTableTest,
    testing::Values(ColorCase{0, 0, 0}, ColorCase{0, 1, 0xFFFFFF}, ColorCase{0, 2, 0},
                    ColorCase{2, 1, 0xFFFFFF}, ColorCase{16, 1, 128}, ColorCase{16, 8, 0xC0C0C0},
                    ColorCase{16, 12, 0xFF0000}, ColorCase{16, 16, 0}, ColorCase{256, 16, 0x101010},
                    ColorCase{256, 255, 0xFFFFFF}, ColorCase{4, 1, 0}, ColorCase{8, 7, 0}));

// ---------------------------------------------------------------- header

struct VersionCase {
  std::string header;
  bool accepted;
};
class VersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionTest, VersionDecides) {
  std::string message;
  auto file = LoadCatching(GetParam().header + Head(2, 1).substr(6) + TinyImage() + ";", &message);
  if (GetParam().accepted) {
    EXPECT_EQ(message, "");
    EXPECT_EQ(file->SubImages.Count(), 1);
    EXPECT_EQ(file->Header, GetParam().header);
  } else {
    EXPECT_EQ(message, "Gif Version must be 87a or 89a");
    EXPECT_EQ(file->SubImages.Count(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Headers, VersionTest,
                         testing::Values(VersionCase{"GIF87a", true}, VersionCase{"GIF89a", true},
                                         VersionCase{"GIF89A", true}, VersionCase{"GIF87A", true},
                                         VersionCase{"PNG89a", true}, VersionCase{"GIF88a", false},
                                         VersionCase{"GIF89b", false}));

TEST(Reader, VersionErrorIsAGifException) {
  EXPECT_THROW(Load("GIF90a"), EGifException);
  EXPECT_THROW(Load("GIF"), EGifException);
}

TEST(Reader, NewFileValues) {
  TGifFile f;
  EXPECT_EQ(f.Header, "GIF87a");
  EXPECT_TRUE(f.HasGlobalColorTable);
  EXPECT_EQ(f.GlobalColorBits, 1);
  EXPECT_EQ(f.GlobalColorTable->Count, 0);
  EXPECT_EQ(f.SubImages.Count(), 0);
}

TEST(Reader, ScreenDescriptorAndGlobalTable) {
  auto f = Load(Head(300, 200, 3, true, "GIF89a", 5) + ";");
  EXPECT_EQ(f->ScreenWidth, 300);
  EXPECT_EQ(f->ScreenHeight, 200);
  EXPECT_EQ(f->ScreenFlags, 0x82);
  EXPECT_EQ(f->BackgroundIndex, 5);
  EXPECT_EQ(f->GlobalColorBits, 3);
  EXPECT_EQ(f->GlobalColorTable->Count, 8);
  EXPECT_EQ(f->GlobalColorTable->GetColor(7), 7 | (14 << 8) | (21 << 16));
}

TEST(Reader, TrailerRightAfterGlobalTableMeansNoFrames) {
  auto f = Load(Head(4, 4) + ";");
  EXPECT_EQ(f->SubImages.Count(), 0);
  EXPECT_THROW(f->GetSubImage(1), EListError);
}

TEST(Reader, WithoutGlobalFlagCountFollowsBitsAndNoColourBytesAreRead) {
  // Flags 0x03: no table, 16 colours; the image follows the descriptor.
  auto f = Load(Head(2, 1, 4, false) + TinyImage() + ";");
  EXPECT_FALSE(f->HasGlobalColorTable);
  EXPECT_EQ(f->GlobalColorTable->Count, 16);
  EXPECT_EQ(f->GlobalColorTable->GetColor(1), 0xFFFFFF);  // as made with count 0
  ASSERT_EQ(f->SubImages.Count(), 1);
  EXPECT_EQ(PixelsOf(f->GetSubImage(1)), (std::vector<int>{1, 2}));
}

class LocalTableTest : public testing::TestWithParam<int> {};

TEST_P(LocalTableTest, ReadsThreeBytesPerEntry) {
  const int bits = GetParam();
  std::string table;
  for (int i = 0; i < (1 << bits); ++i) table += std::string{char(255 - i), char(i), char(9)};
  CodeWriter w(bits < 2 ? 2 : bits);
  w.Codes({w.Clear(), 1, 0, w.End()});
  auto f = Load(Head(2, 1) + Image(0, 0, 2, 1, 0x80 | (bits - 1), bits < 2 ? 2 : bits, w.Bytes(), table) + ";");
  ASSERT_EQ(f->SubImages.Count(), 1);
  const TGifSubImage& s = f->GetSubImage(1);
  EXPECT_TRUE(s.HasLocalColorTable);
  EXPECT_EQ(s.LocalColorTable->Count, 1 << bits);
  const int last = (1 << bits) - 1;
  EXPECT_EQ(s.LocalColorTable->GetColor(static_cast<std::uint8_t>(last)), (255 - last) | (last << 8) | (9 << 16));
  EXPECT_EQ(&s.ColorTable(), s.LocalColorTable.get());
  EXPECT_EQ(PixelsOf(s), (std::vector<int>{1, 0}));
}

INSTANTIATE_TEST_SUITE_P(Bits, LocalTableTest, testing::Values(1, 4, 8));

// ---------------------------------------------------------------- blocks

TEST(Reader, ExtensionsGoToTheFrameThatFollowsThem) {
  const std::string app = std::string("\x21\xFF\x0B") + "NETSCAPE2.0" + SubBlocks(std::string("\x01\x00\x00", 3));
  auto f = Load(Head(2, 1) + Comment("hello") + app + GraphicControl(2, true, 25, 3) + TinyImage() +
                TinyImage() + ";");
  ASSERT_EQ(f->SubImages.Count(), 2);
  const TGifSubImage& a = f->GetSubImage(1);
  ASSERT_EQ(a.Extensions->Count(), 3);
  EXPECT_EQ(a.Extensions->Items(1).Kind, ekComment);
  EXPECT_EQ(a.Extensions->Items(1).SubBlocks, std::vector<std::string>{"hello"});
  EXPECT_EQ(a.Extensions->Items(2).Kind, ekApplication);
  EXPECT_EQ(a.Extensions->Items(2).Data.size(), 12u);
  EXPECT_EQ(a.Extensions->Items(3).Kind, ekGraphicControl);
  EXPECT_EQ(a.Disposal, 2);
  EXPECT_TRUE(a.Transparent);
  EXPECT_EQ(a.GetDelay(), 25);
  EXPECT_EQ(a.GetTransparentColor(), 3 | (6 << 8) | (9 << 16));
  const TGifSubImage& b = f->GetSubImage(2);
  EXPECT_EQ(b.Extensions->Count(), 0);
  EXPECT_EQ(b.GetDelay(), 0);
  EXPECT_FALSE(b.Transparent);
  EXPECT_EQ(b.GetTransparentColor(), -1);
}

TEST(Reader, TwoGraphicControlExtensionsTheSecondWins) {
  auto f = Load(Head(2, 1) + GraphicControl(1, true, 10, 1) + GraphicControl(3, false, 40, 2) +
                TinyImage() + ";");
  const TGifSubImage& s = f->GetSubImage(1);
  EXPECT_EQ(s.Disposal, 3);
  EXPECT_FALSE(s.Transparent);
  EXPECT_EQ(s.GetDelay(), 40);
  // The colour query looks for the first transparent one.
  EXPECT_EQ(s.GetTransparentColor(), 1 | (2 << 8) | (3 << 16));
}

TEST(Reader, TransparencyBitClearMeansNoTransparentColour) {
  auto f = Load(Head(2, 1) + GraphicControl(0, false, 0, 2) + TinyImage() + ";");
  EXPECT_EQ(f->GetSubImage(1).GetTransparentColor(), -1);
}

TEST(Reader, BackgroundColourComesFromTheFramesTable) {
  std::string table = std::string("\x10\x20\x30\x40\x50\x60", 6);
  CodeWriter w(2);
  w.Codes({w.Clear(), 1, 1, w.End()});
  auto f = Load(Head(2, 1, 2, true, "GIF89a", 1) + TinyImage() +
                Image(0, 0, 2, 1, 0x80, 2, w.Bytes(), table) + ";");
  EXPECT_EQ(f->GetSubImage(1).GetBackgroundColor(), 1 | (2 << 8) | (3 << 16));
  EXPECT_EQ(f->GetSubImage(2).GetBackgroundColor(), 0x40 | (0x50 << 8) | (0x60 << 16));
}

TEST(Reader, UnknownExtensionLabelKeepsTheFramesBefore) {
  std::string message;
  auto f = LoadCatching<EGifException>(Head(2, 1) + TinyImage() + "\x21\xF8\x01x\x00" + TinyImage() + ";",
                                       &message);
  EXPECT_EQ(message, "Unrecognized extension block.\r\nCode = $F8");
  EXPECT_EQ(f->SubImages.Count(), 1);
}

struct EndingCase {
  std::string name;
  std::string tail;  // after one complete frame
  int frames;
};
class EndingTest : public testing::TestWithParam<EndingCase> {};

// Streams that end early, or hold something other than a block where one
// belongs, end the reading quietly with the frames read so far.
TEST_P(EndingTest, QuietEnd) {
  std::string message;
  auto f = LoadCatching(Head(2, 1) + TinyImage() + GetParam().tail, &message);
  EXPECT_EQ(message, "");
  EXPECT_EQ(f->SubImages.Count(), GetParam().frames);
  for (int i = 1; i <= f->SubImages.Count(); ++i)
    EXPECT_EQ(PixelsOf(f->GetSubImage(i)), (std::vector<int>{1, 2}));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, EndingTest,
    testing::Values(EndingCase{"NoTrailer", "", 1}, EndingCase{"NoTrailerAfterTwo", TinyImage(), 2},
                    EndingCase{"ZeroIntroducer", std::string("\0", 1) + TinyImage() + ";", 1},
                    EndingCase{"JunkIntroducer", "A" + TinyImage(), 1},
                    EndingCase{"InsideComment", "\x21\xFE\x05hel", 1},
                    EndingCase{"InsideApplication", "\x21\xFF\x0BNETSCAPE2.0\x03\x01", 1},
                    EndingCase{"InsideGraphicControl", "\x21\xF9\x04\x01", 1},
                    EndingCase{"AfterLabel", "\x21", 1},
                    EndingCase{"ExtensionsWithoutImage", Comment("x") + ";", 1}),
    [](const auto& info) { return info.param.name; });

TEST(Reader, FrameCutInsideItsDataKeepsItsCompleteRows) {
  // 4 x 3, rows of 0s, 1s and 2s; the data stops inside row 2.
  CodeWriter w(2);
  w.Code(w.Clear());
  for (int i = 0; i < 4; ++i) w.Code(0);
  for (int i = 0; i < 2; ++i) w.Code(1);
  const std::string data = w.Bytes();
  // A sub-block that promises more bytes than the stream has.
  const std::string bytes = Head(4, 3) + TinyImage() + "\x2C" + U16(0) + U16(0) + U16(4) + U16(3) +
                            std::string("\0\x02", 2) + static_cast<char>(data.size() + 40) + data;
  std::string message;
  auto f = LoadCatching(bytes, &message);
  EXPECT_EQ(message, "");
  ASSERT_EQ(f->SubImages.Count(), 2);
  EXPECT_EQ(PixelsOf(f->GetSubImage(2)), (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(f->GetSubImage(2).CompressedData->Bytes(), data);
}

TEST(Reader, TruncatedRealPictureKeepsItsCompleteFrames) {
  const std::string whole = ReadFile(DataPath("animation.gif"));
  auto full = Load(whole);
  ASSERT_EQ(full->SubImages.Count(), 4);
  // Cut inside the last frame's data.
  std::string message;
  auto part = LoadCatching(whole.substr(0, whole.size() - 30), &message);
  ASSERT_GE(part->SubImages.Count(), 3);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(PixelsOf(part->GetSubImage(i)), PixelsOf(full->GetSubImage(i)));
}

TEST(Reader, FrameWithoutDataSubBlockRaisesTheListError) {
  const std::string bytes = Head(2, 1) + TinyImage() + "\x2C" + U16(0) + U16(0) + U16(2) + U16(1) +
                            std::string("\0\x02\0", 3) + ";";
  std::string message;
  auto f = LoadCatching<EListError>(bytes, &message);
  EXPECT_NE(message, "");
  EXPECT_EQ(f->SubImages.Count(), 1);
}

TEST(Reader, NumberOfColoursMustBeAPowerOfTwo) {
  TGifFile owner;
  try {
    TGifSubImage s(12, &owner);
    FAIL();
  } catch (const EGifException& e) {
    EXPECT_STREQ(e.what(), "Number of colors (12) wrong; must be a power of 2");
  }
  TGifSubImage s(2, &owner);
  EXPECT_EQ(s.LocalColorBits, 1);
  EXPECT_EQ(s.CodeSize, 2);
  EXPECT_EQ(s.ImageFlags, 0);
}

// ---------------------------------------------------------------- limits

static std::string OnePixel() {
  CodeWriter w(2);
  w.Codes({w.Clear(), 1, w.End()});
  return w.Bytes();
}

struct LimitCase {
  std::string name;
  int screenW, screenH, frameW, frameH;
  std::string message;  // "" when accepted
};
class LimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(LimitTest, HugeSizesAreRefusedBeforeAnyAllocation) {
  const LimitCase c = GetParam();
  std::string message;
  auto f = LoadCatching<EGifException>(
      Head(c.screenW, c.screenH) + Image(0, 0, c.frameW, c.frameH, 0, 2, OnePixel()) + ";",
      &message);
  EXPECT_EQ(message, c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, LimitTest,
    testing::Values(
        LimitCase{"Screen", 65535, 65535, 1, 1,
                  "Logical screen too large: 65535 x 65535 pixels (4294836225), at most 67108864 allowed"},
        LimitCase{"Frame", 10, 10, 8193, 8192,
                  "Frame too large: 8193 x 8192 pixels (67117056), at most 67108864 allowed"},
        LimitCase{"FrameAtTheLimit", 10, 10, 8192, 8192, ""},
        LimitCase{"FrameOutsideTheScreen", 2, 2, 300, 1, ""}),
    [](const auto& info) { return info.param.name; });

// Whole files that ask for more than their size suggests: each read ends
// with the limit's error before it allocates for what crosses the limit,
// keeping the frames complete before it; a file just at the limits reads
// whole.
struct BudgetCase {
  std::string name;
  std::function<std::string()> bytes;
  std::string message;  // "" when accepted
  int frames;           // frames kept
};
class BudgetTest : public testing::TestWithParam<BudgetCase> {};

TEST_P(BudgetTest, WholeFileIsBounded) {
  const BudgetCase& c = GetParam();
  std::string message;
  auto f = LoadCatching<EGifException>(c.bytes(), &message);
  EXPECT_EQ(message, c.message);
  EXPECT_EQ(f->SubImages.Count(), c.frames);
  // A frame's data buffer holds its data, not a guess made from its size.
  for (const auto& frame : f->SubImages) {
    const std::string& data = frame->CompressedData->Bytes();
    ASSERT_LE(data.capacity(), data.size() + data.size() / 4 + 64);
  }
}

INSTANTIATE_TEST_SUITE_P(
    HostileFiles, BudgetTest,
    testing::Values(
        BudgetCase{"LzwBombFrames", [] { return LzwBombGif(30, 8192, 8192, 8192, 8192); },
                   "Frames together too large: 134217728 pixels, at most 67108864 allowed", 1},
        BudgetCase{"TinyFrames", [] { return TinyFramesGif(100000); },
                   "Frame count too large: 65537 frames, at most 65536 allowed", 65536},
        BudgetCase{"OneByteCommentBlocks", [] { return CommentBlocksGif(1000000); },
                   "Extension data too large: 8388631 bytes, at most 8388608 allowed", 0},
        BudgetCase{"EmptyLargeFrames", [] { return EmptyFramesGif(60, 5000, 5000); },
                   "Frames together too large: 75000000 pixels, at most 67108864 allowed", 2},
        BudgetCase{"FramesAtTheCount", [] { return TinyFramesGif(65536); }, "", 65536},
        BudgetCase{"FramesAtThePixels", [] { return EmptyFramesGif(4, 4096, 4096); }, "", 4},
        BudgetCase{"GraphicControlForEveryFrame",
                   [] {
                     std::string frames;
                     for (int i = 0; i < 65536; ++i) frames += GraphicControl(0, false, 1, 0) + TinyImage();
                     return Head(4, 4) + frames + ";";
                   },
                   "", 65536}),
    [](const auto& info) { return info.param.name; });

TEST(Reader, LimitsCanBeTightened) {
  TGifFile file;
  file.Limits.ScreenPixels = 100;
  gif::TMemoryStream stream(Head(11, 10) + TinyImage() + ";");
  EXPECT_THROW(file.LoadFromStream(stream), EGifException);
}

// ---------------------------------------------------------------- callbacks

class CallbackTest : public testing::Test {
 protected:
  void SetUp() override {
    SetGifCallbacks({[this] { events += "p"; }, [this] { events += "W"; }, [this] { events += "D"; }});
  }
  void TearDown() override { SetGifCallbacks({}); }
  std::string events;
};

TEST_F(CallbackTest, WaitCursorAroundTheReadAndPumpAfterEveryRow) {
  CodeWriter w(2);
  w.Code(w.Clear());
  for (int i = 0; i < 6; ++i) w.Code(i % 4);
  w.Code(w.End());
  Load(Head(2, 3) + Image(0, 0, 2, 3, 0, 2, w.Bytes()) + ";");
  EXPECT_EQ(events, "WpppD");
}

TEST_F(CallbackTest, DefaultCursorAlsoAfterAnError) {
  EXPECT_THROW(Load("GIF00a"), EGifException);
  EXPECT_EQ(events, "WD");
}

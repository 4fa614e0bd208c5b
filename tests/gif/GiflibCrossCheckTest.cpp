// Every frame of the committed pictures, and of larger ones written by
// giflib's encoder at test time, decoded by this library and by giflib,
// must agree index for index, and so must sizes, positions, colour tables
// and the graphic control fields.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "tests/support/GiflibMemory.h"
#include "gif/GifUnit.h"
#include "tests/gif/GifTestSupport.h"

using namespace gif;
using namespace giftest;

namespace {

using Reader = testsupport::GiflibReader;
using testsupport::GiflibRead;

void ExpectSameTable(const TColorTable& ours, const ColorMapObject* theirs) {
  ASSERT_NE(theirs, nullptr);
  ASSERT_EQ(ours.Count, theirs->ColorCount);
  for (int i = 0; i < theirs->ColorCount; ++i) {
    const GifColorType& c = theirs->Colors[i];
    EXPECT_EQ(ours.GetColor(static_cast<std::uint8_t>(i)), c.Red | (c.Green << 8) | (c.Blue << 16)) << i;
  }
}

void ExpectSameAsGiflib(const std::string& bytes) {
  ASSERT_FALSE(bytes.empty());
  auto ours = Load(bytes);

  Reader reader{&bytes};
  int error = 0;
  GifFileType* g = DGifOpen(&reader, GiflibRead, &error);
  ASSERT_NE(g, nullptr);
  ASSERT_EQ(DGifSlurp(g), GIF_OK);

  EXPECT_EQ(ours->ScreenWidth, g->SWidth);
  EXPECT_EQ(ours->ScreenHeight, g->SHeight);
  EXPECT_EQ(ours->BackgroundIndex, g->SBackGroundColor);
  ASSERT_EQ(ours->HasGlobalColorTable, g->SColorMap != nullptr);
  if (g->SColorMap) ExpectSameTable(*ours->GlobalColorTable, g->SColorMap);

  ASSERT_EQ(ours->SubImages.Count(), g->ImageCount);
  for (int i = 0; i < g->ImageCount; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i + 1));
    const SavedImage& s = g->SavedImages[i];
    const TGifSubImage& f = ours->GetSubImage(i + 1);
    EXPECT_EQ(f.Left, s.ImageDesc.Left);
    EXPECT_EQ(f.Top, s.ImageDesc.Top);
    ASSERT_EQ(f.Width, s.ImageDesc.Width);
    ASSERT_EQ(f.Height, s.ImageDesc.Height);
    EXPECT_EQ(f.Interlaced, s.ImageDesc.Interlace);
    ASSERT_EQ(f.HasLocalColorTable, s.ImageDesc.ColorMap != nullptr);
    if (s.ImageDesc.ColorMap) ExpectSameTable(*f.LocalColorTable, s.ImageDesc.ColorMap);

    const std::size_t size = std::size_t{f.Width} * f.Height;
    EXPECT_EQ(std::memcmp(f.Pixels->Data().Data(), s.RasterBits, size), 0);

    GraphicsControlBlock gcb{};
    if (DGifSavedExtensionToGCB(g, i, &gcb) == GIF_OK) {
      EXPECT_EQ(f.Disposal, gcb.DisposalMode);
      EXPECT_EQ(f.GetDelay(), gcb.DelayTime);
      EXPECT_EQ(f.Transparent, gcb.TransparentColor != NO_TRANSPARENT_COLOR);
    } else {
      EXPECT_EQ(f.GetDelay(), 0);
    }
  }
  DGifCloseFile(g, &error);
}

}  // namespace

class GiflibCrossCheck : public testing::TestWithParam<std::string> {};

TEST_P(GiflibCrossCheck, SameFramesAsGiflib) { ExpectSameAsGiflib(ReadFile(DataPath(GetParam()))); }

INSTANTIATE_TEST_SUITE_P(
    Pictures, GiflibCrossCheck,
    testing::Values("codesize_1.gif", "codesize_2.gif", "codesize_3.gif", "codesize_4.gif",
                    "codesize_5.gif", "codesize_6.gif", "codesize_7.gif", "codesize_8.gif",
                    "interlaced_h1.gif", "interlaced_h3.gif", "interlaced_h8.gif", "interlaced_h13.gif",
                    "table_full.gif", "comment_loop.gif", "local_tables.gif", "animation.gif",
                    "banner.gif"),
    [](const auto& info) {
      std::string name = info.param.substr(0, info.param.find('.'));
      for (char& c : name)
        if (c == '_') c = 'X';
      return name;
    });

// ---------------------------------------------------------------- made here

namespace {

using testsupport::GiflibFrame;

// A frame whose colour drifts along a diagonal with grain on it: the
// short strings of a photograph, or with grain 0 long ones.
GiflibFrame Drift(int left, int top, int width, int height, int colours, int grain, bool interlaced,
                  std::mt19937& rng) {
  GiflibFrame f{left, top, width, height, interlaced, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int noise = grain > 0 ? static_cast<int>(rng() % unsigned(grain)) : 0;
      f.pixels.push_back(static_cast<GifPixelType>(((x + 2 * y) / 9 + noise) % colours));
    }
  return f;
}

// Runs of random colours and lengths up to maxRun, across rows.
GiflibFrame Runs(int width, int height, int colours, int maxRun, std::mt19937& rng) {
  GiflibFrame f{0, 0, width, height, false, {}};
  while (f.pixels.size() < std::size_t(width) * std::size_t(height)) {
    const auto colour = static_cast<GifPixelType>(rng() % unsigned(colours));
    f.pixels.insert(f.pixels.end(), 1 + rng() % unsigned(maxRun), colour);
  }
  f.pixels.resize(std::size_t(width) * std::size_t(height));
  return f;
}

struct MadePicture {
  std::string name;
  std::function<std::string(std::mt19937&)> make;
};

}  // namespace

class GiflibCrossCheckMade : public testing::TestWithParam<MadePicture> {};

TEST_P(GiflibCrossCheckMade, SameFramesAsGiflib) {
  std::mt19937 rng(13);
  ExpectSameAsGiflib(GetParam().make(rng));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, GiflibCrossCheckMade,
    testing::Values(
        MadePicture{"PhotographLike",
                    [](std::mt19937& rng) {
                      return testsupport::GiflibEncode(1500, 90, 256, {Drift(0, 0, 1500, 90, 256, 4, false, rng)});
                    }},
        MadePicture{"InterlacedTall",
                    [](std::mt19937& rng) {
                      return testsupport::GiflibEncode(61, 517, 16, {Drift(0, 0, 61, 517, 16, 3, true, rng)});
                    }},
        MadePicture{"LongRunsFewColours",
                    [](std::mt19937& rng) {
                      return testsupport::GiflibEncode(2000, 40, 4, {Runs(2000, 40, 4, 300, rng)});
                    }},
        MadePicture{"OnePixelWide",
                    [](std::mt19937& rng) {
                      return testsupport::GiflibEncode(1, 3000, 2, {Runs(1, 3000, 2, 40, rng)});
                    }},
        MadePicture{"FramesPastTheScreen",
                    [](std::mt19937& rng) {
                      return testsupport::GiflibEncode(50, 40, 64,
                                                       {Drift(0, 0, 50, 40, 64, 0, false, rng),
                                                        Drift(30, 25, 64, 48, 64, 2, false, rng),
                                                        Drift(45, 0, 300, 7, 64, 5, true, rng)});
                    }}),
    [](const auto& info) { return info.param.name; });

#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>

#include "banner/JpegImage.h"
#include "tests/banner/TestPictures.h"

namespace {

using testpictures::Colour;

struct DecodeCase {
  const char* name;
  J_COLOR_SPACE space;
  Colour stored;
  Colour shown;
  bool progressive = false;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }


class JpegDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(JpegDecodeTest, HeaderOnLoadPixelsOnFirstUse) {
  const DecodeCase& c = GetParam();
  TJpegImage picture;
  picture.LoadFromStream(testpictures::Jpeg(48, 16, c.stored, c.space, c.progressive));
  EXPECT_EQ(picture.Width(), 48);
  EXPECT_EQ(picture.Height(), 16);

  const QImage image = picture.ToImage();
  ASSERT_EQ(image.size(), QSize(48, 16));
  const QColor pixel = image.pixelColor(20, 8);
  EXPECT_NEAR(pixel.red(), c.shown.r, 6);
  EXPECT_NEAR(pixel.green(), c.shown.g, 6);
  EXPECT_NEAR(pixel.blue(), c.shown.b, 6);
}

INSTANTIATE_TEST_SUITE_P(
    ColourSpaces, JpegDecodeTest,
    testing::Values(DecodeCase{"Rgb", JCS_RGB, {200, 40, 90}, {200, 40, 90}},
                    DecodeCase{"Grey", JCS_GRAYSCALE, {128, 0, 0}, {128, 128, 128}},
                    // Adobe inks: cyan and black none (255), magenta and yellow full (0).
                    DecodeCase{"AdobeCmyk", JCS_CMYK, {255, 0, 0}, {255, 0, 0}},
                    // libjpeg's own progression, as its encoder writes it.
                    DecodeCase{"ProgressiveRgb", JCS_RGB, {200, 40, 90}, {200, 40, 90}, true},
                    DecodeCase{"ProgressiveAdobeCmyk", JCS_CMYK, {255, 0, 0}, {255, 0, 0}, true}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  std::string bytes;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }


class JpegRefusedTest : public testing::TestWithParam<RefusedCase> {};

// libjpeg's own handler would end the process here; the picture's handler
// makes it an exception, and the picture forgets what it held before.
TEST_P(JpegRefusedTest, FailsWithoutEndingTheProcessAndLeavesThePictureEmpty) {
  TJpegImage picture;
  picture.LoadFromStream(testpictures::Jpeg(8, 8, {1, 2, 3}));
  EXPECT_THROW(picture.LoadFromStream(GetParam().bytes), EJpegError);
  EXPECT_TRUE(picture.Empty());
  EXPECT_TRUE(picture.ToImage().isNull());
}

std::string HugeHeader() {
  // The start-of-frame segment of a small JPEG patched to claim 60000 x 60000.
  std::string jpeg = testpictures::Jpeg(8, 8, {1, 2, 3});
  const std::size_t sof = jpeg.find("\xFF\xC0");
  jpeg[sof + 5] = jpeg[sof + 7] = static_cast<char>(0xEA);
  jpeg[sof + 6] = jpeg[sof + 8] = static_cast<char>(0x60);
  return jpeg;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, JpegRefusedTest,
    testing::Values(RefusedCase{"Empty", ""}, RefusedCase{"Gif", testpictures::Gif()},
                    RefusedCase{"Html", "<html><body>Not found</body></html>"},
                    RefusedCase{"StartMarkerOnly", "\xFF\xD8"},
                    RefusedCase{"HeaderCutShort", testpictures::Jpeg(8, 8, {1, 2, 3}).substr(0, 30)},
                    RefusedCase{"LargerThanABannerCanBe", HugeHeader()}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

// The scans are judged when the picture is loaded, before the window
// decodes anything; a picture within the bounds decodes whole.
struct ScanCase {
  const char* name;
  std::function<std::string()> bytes;
  QSize size;
  std::string refusal;  // "" when accepted
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class JpegScanTest : public testing::TestWithParam<ScanCase> {};

// 4096 x 4096 grey in libjpeg's progression: 6 scans of 262144 blocks each.
const std::string& LargeProgressive() {
  static const std::string jpeg = testpictures::Jpeg(4096, 4096, {90, 0, 0}, JCS_GRAYSCALE, true);
  return jpeg;
}
std::string SmallProgressive() { return testpictures::Jpeg(64, 64, {90, 0, 0}, JCS_GRAYSCALE, true); }

TEST_P(JpegScanTest, TooManyOrTooCostlyScansAreRefusedOnLoading) {
  const ScanCase& c = GetParam();
  TJpegImage picture;
  if (!c.refusal.empty()) {
    try {
      picture.LoadFromStream(c.bytes());
      FAIL() << "accepted";
    } catch (const EJpegError& e) {
      EXPECT_EQ(e.what(), c.refusal);
    }
    EXPECT_TRUE(picture.Empty());
    return;
  }
  picture.LoadFromStream(c.bytes());
  EXPECT_EQ(picture.ToImage().size(), c.size);
  EXPECT_EQ(picture.DecodeError(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, JpegScanTest,
    testing::Values(
        ScanCase{"HundredScans", [] { return testpictures::RepeatedScans(SmallProgressive(), 94); },
                 QSize(64, 64), ""},
        ScanCase{"HundredAndOneScans", [] { return testpictures::RepeatedScans(SmallProgressive(), 95); },
                 {}, "JPEG scans too many: 101 scans, at most 100 allowed"},
        ScanCase{"TwentyThousandRepeatedScans",
                 [] { return testpictures::RepeatedScans(LargeProgressive(), 20000); }, {},
                 "JPEG scans too many: 20006 scans, at most 100 allowed"},
        ScanCase{"LargestAtTheBlockBound",
                 [] { return testpictures::RepeatedScans(LargeProgressive(), 10); },
                 QSize(4096, 4096), ""},
        ScanCase{"LargestOverTheBlockBound",
                 [] { return testpictures::RepeatedScans(LargeProgressive(), 11); }, {},
                 "JPEG scans too costly: 4456448 blocks to decode, at most 4194304 allowed"}),
    [](const testing::TestParamInfo<ScanCase>& info) { return std::string(info.param.name); });

TEST(JpegImageTest, ACutOffBodyStillDrawsAtItsFullSize) {
  const std::string jpeg = testpictures::Jpeg(64, 64, {10, 200, 10});
  TJpegImage picture;
  // The header whole, the scan data broken off a few bytes in.
  picture.LoadFromStream(jpeg.substr(0, jpeg.find("\xFF\xDA") + 20));
  EXPECT_EQ(picture.ToImage().size(), QSize(64, 64));
}

TEST(JpegImageTest, ACopyDecodesOnItsOwnAndOutlivesTheOriginalsNextLoad) {
  TJpegImage loaders;
  loaders.LoadFromStream(testpictures::Jpeg(30, 10, {250, 250, 0}));
  const TJpegImage windows = loaders;
  loaders.LoadFromStream(testpictures::Jpeg(5, 5, {0, 0, 250}));
  ASSERT_EQ(windows.ToImage().size(), QSize(30, 10));
  EXPECT_NEAR(windows.ToImage().pixelColor(0, 0).blue(), 0, 6);
}

}  // namespace

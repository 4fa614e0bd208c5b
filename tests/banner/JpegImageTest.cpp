#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
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
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }


class JpegDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(JpegDecodeTest, HeaderOnLoadPixelsOnFirstUse) {
  const DecodeCase& c = GetParam();
  TJpegImage picture;
  picture.LoadFromStream(testpictures::Jpeg(48, 16, c.stored, c.space));
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
                    DecodeCase{"AdobeCmyk", JCS_CMYK, {255, 0, 0}, {255, 0, 0}}),
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

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include <fstream>
#include <sstream>

#include "banner/qt/AdImage.h"
#include "banner/qt/GifImgs.h"
#include "platform/qt/ImageControl.h"
#include "tests/banner/TestPictures.h"
#include "tests/support/LoopbackAdServer.h"
#include "tests/support/WindowFixture.h"

namespace {

std::string FixtureGif(const std::string& name) {
  std::ifstream in(std::string(QUILMERE_SOURCE_DIR) + "/tests/data/gif/" + name, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The window against a loopback advertisement server.
class BannerWindowTest : public testsupport::WindowFixture {
 protected:
  void SetUp() override {
    adServerPort = server.Port();
    platform::SetMessageBoxHandler(
        [this](const QString& text, const QString& title, platform::MessageIcon) {
          boxes.push_back({text.toStdString(), title.toStdString()});
        });
  }
  // Waits until the loader has finished `cycles` exchanges and is idle.
  bool WaitCycles(int cycles) {
    return QTest::qWaitFor(
        [&] { return server.Finished() >= cycles && window->AdLoader->Suspended(); }, 10000);
  }
  static std::string Ad(const std::string& type, const std::string& link,
                        const std::string& body) {
    return testsupport::HttpResponse("200 OK", type, "AdLink=" + link, body);
  }

  testsupport::LoopbackAdServer server;
};

TEST_F(BannerWindowTest, JpegThenGifThenJpegShowTheRightControlWithItsLink) {
  server.Enqueue({Ad("image/jpeg", "https%3A//ads.example/one", testpictures::Jpeg(40, 20, {200, 0, 0}))});
  OpenWindow();  // the first cycle starts with the window
  ASSERT_TRUE(WaitCycles(1));
  EXPECT_TRUE(window->ImgJPEGAd->isVisible());
  EXPECT_FALSE(window->GifAd->isVisible());
  EXPECT_EQ(window->ImgJPEGAd->toolTip(), "https://ads.example/one");
  EXPECT_EQ(window->ImgJPEGAd->Image().size(), QSize(40, 20));
  EXPECT_EQ(window->ImgJPEGAd->Image().pixelColor(5, 5).red() > 150, true);
  window->ImgAdClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Opened().size() == 1; }, 10000));
  EXPECT_EQ(Opened()[0], "https://ads.example/one");

  server.Enqueue({Ad("image/gif", "https%3A//ads.example/two", FixtureGif("animation.gif"))});
  window->Timer1Timer();
  ASSERT_TRUE(WaitCycles(2));
  EXPECT_TRUE(window->GifAd->isVisible());
  EXPECT_FALSE(window->ImgJPEGAd->isVisible());
  EXPECT_TRUE(window->GifAd->Animating());
  EXPECT_EQ(window->GifAd->toolTip(), "https://ads.example/two");

  // A failed exchange leaves banner, hint and link as they were.
  server.Enqueue({testsupport::HttpResponse("404 Not Found", "text/html", "", "gone")});
  window->Timer1Timer();
  ASSERT_TRUE(WaitCycles(3));
  EXPECT_TRUE(window->GifAd->isVisible());
  EXPECT_EQ(window->GifAd->toolTip(), "https://ads.example/two");
  QTest::mouseClick(window->GifAd, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Opened().size() == 2; }, 10000));
  EXPECT_EQ(Opened()[1], "https://ads.example/two");

  server.Enqueue({Ad("image/jpeg", "https%3A//ads.example/three", testpictures::Jpeg(8, 8, {0, 0, 200}))});
  window->Timer1Timer();
  ASSERT_TRUE(WaitCycles(4));
  EXPECT_TRUE(window->ImgJPEGAd->isVisible());
  EXPECT_FALSE(window->GifAd->isVisible());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(BannerWindowTest, GifTheReaderRefusesEmptiesTheBannerAndKeepsTheLink) {
  server.Enqueue({Ad("image/jpeg", "https%3A//ads.example/one", testpictures::Jpeg(8, 8, {0, 200, 0}))});
  OpenWindow();
  ASSERT_TRUE(WaitCycles(1));
  server.Enqueue({Ad("image/gif", "https%3A//ads.example/bad", "GIF89a broken")});
  window->Timer1Timer();
  ASSERT_TRUE(WaitCycles(2));
  EXPECT_FALSE(window->ImgJPEGAd->isVisible());
  EXPECT_FALSE(window->GifAd->isVisible());
  EXPECT_TRUE(boxes.empty());
  window->ImgAdClick();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Opened().size() == 1; }, 10000));
  EXPECT_EQ(Opened()[0], "https://ads.example/one");
}

TEST_F(BannerWindowTest, ClosingDuringAHeldExchangeNeitherHangsNorShowsTheBanner) {
  testsupport::ScriptedResponse held{Ad("image/jpeg", "https%3A//x.example/", testpictures::Jpeg(4, 4, {1, 2, 3}))};
  held.held = true;
  server.Enqueue(held);
  OpenWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return server.Connections() == 1; }, 10000));
  EXPECT_TRUE(window->ImgJPEGAd->Image().isNull());
  QElapsedTimer clock;
  clock.start();
  window.reset();
  // The window waits for the loader at most 2 s; a little more for the
  // machine's own delays, never the whole exchange.
  EXPECT_LT(clock.elapsed(), 2500);
  // The response that comes now reaches no window: nothing is shown, and the
  // loader that frees itself touches nothing that is gone (the sanitizer
  // build would see it).
  server.Release();
  QCoreApplication::processEvents();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(BannerWindowTest, WithNoServerTheWindowOpensAndTheBannerStaysEmpty) {
  adServerPort = 9;  // nothing listens
  OpenWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->AdLoader->Suspended(); }, 10000));
  EXPECT_TRUE(window->ImgJPEGAd->Image().isNull());
  EXPECT_TRUE(window.get()->isVisible());
  EXPECT_TRUE(boxes.empty());
}

}  // namespace

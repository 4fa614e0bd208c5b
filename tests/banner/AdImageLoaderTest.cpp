#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "banner/AdImage.h"
#include "platform/GuiInvoker.h"
#include "tests/banner/TestPictures.h"
#include "tests/support/LoopbackAdServer.h"

namespace {

using namespace std::chrono_literals;
using testsupport::HttpResponse;
using testsupport::ScriptedResponse;

constexpr auto kBound = 10s;
constexpr const char* kHost = "127.0.0.1";
constexpr const char* kDefaultLink = "http://default.example/";

QCoreApplication& App() {
  static int argc = 1;
  static char name[] = "test_banner";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

// Handles the window thread's events until done() holds.
bool PumpUntil(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + kBound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    QCoreApplication::processEvents();
    std::this_thread::yield();
  }
  return true;
}

struct Shown {
  bool isGif;
  std::string gifBytes;
  std::optional<TJpegImage> jpeg;
  std::string linkUrl;
  bool onWindowThread;
};

// The window's side as the tests see it: what was shown, in order.
class FakeDisplay : public banner::BannerDisplay {
 public:
  void ShowBanner(bool isGif, const std::string& gifBytes, const TJpegImage* jpeg,
                  const std::string& linkUrl) override {
    if (isGif && refuseGif) throw std::runtime_error("not a GIF the reader takes");
    shown.push_back({isGif, gifBytes, jpeg ? std::optional<TJpegImage>(*jpeg) : std::nullopt,
                     linkUrl, QThread::currentThread() == App().thread()});
  }
  std::vector<Shown> shown;
  bool refuseGif = false;
};

std::string JpegBanner(const std::string& cookie = "ADLINK=http%3A%2F%2Fshop.example%2Fa+b") {
  return HttpResponse("200 OK", "image/jpeg", cookie, testpictures::Jpeg(120, 30, {0, 90, 200}));
}
std::string GifBanner() { return HttpResponse("200 OK", "image/gif", "", testpictures::Gif()); }

class AdImageLoaderTest : public testing::Test {
 protected:
  void SetUp() override { App(); }

  void TearDown() override {
    invoker.Close();
    if (loader != nullptr) {
      EXPECT_TRUE(loader->Shutdown(kBound));
    }
  }

  // As the main window does it: suspended, below normal, freeing itself,
  // reporting through the window's invoker, resumed at once.
  void Start(std::chrono::milliseconds timeLimit = banner::ExchangeTimeLimit, int port = 0) {
    loader = new AdImageLoader(&display, kHost, port != 0 ? port : server.Port(), kDefaultLink,
                               timeLimit);
    loader->SetPriority(platform::ThreadPriority::BelowNormal);
    loader->SetFreeOnTerminate(true);
    loader->SetSynchronizer(synchronizer ? synchronizer : invoker.Synchronizer());
    loader->Resume();
  }

  // Waits for the cycle to end with the loader idle and the server done.
  void FinishCycle(int connections) {
    ASSERT_TRUE(PumpUntil([&] { return loader->Suspended(); }));
    ASSERT_TRUE(PumpUntil([&] { return server.Finished() == connections; }));
  }

  // Serves response to the next cycle and runs it to its end.
  void NextCycle(const std::string& response) {
    server.Enqueue({response});
    const int connections = server.Connections() + 1;
    ASSERT_TRUE(loader->WakeIfIdle());
    FinishCycle(connections);
  }

  testsupport::LoopbackAdServer server;
  FakeDisplay display;
  platform::GuiInvoker invoker;
  platform::Thread::Synchronizer synchronizer;
  AdImageLoader* loader = nullptr;  // frees itself
};

TEST_F(AdImageLoaderTest, FirstCycleSendsTheRequestAndShowsTheJpegOnTheWindowThread) {
  server.Enqueue({JpegBanner()});
  Start();
  FinishCycle(1);

  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0],
            "GET /adrotator/adrotator.cfm?Product=Quilmere HTTP/1.0\r\n"
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, "
            "application/vnd.ms-powerpoint, application/vnd.ms-excel, application/msword, "
            "application/x-shockwave-flash, */*\r\n"
            "Accept-Language: id\r\n"
            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
            "Host: 127.0.0.1\r\n"
            "Connection: close\r\n"
            "\r\n");

  ASSERT_EQ(display.shown.size(), 1u);
  const Shown& banner = display.shown[0];
  EXPECT_TRUE(banner.onWindowThread);
  EXPECT_FALSE(banner.isGif);
  ASSERT_TRUE(banner.jpeg.has_value());
  EXPECT_EQ(banner.jpeg->ToImage().size(), QSize(120, 30));
  EXPECT_EQ(banner.linkUrl, "http://shop.example/a b");
}

TEST_F(AdImageLoaderTest, GifBytesReachTheWindowUntouchedAndWithoutACookieTheLinkIsTheDefault) {
  server.Enqueue({GifBanner()});
  Start();
  FinishCycle(1);

  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_TRUE(display.shown[0].isGif);
  EXPECT_EQ(display.shown[0].gifBytes, testpictures::Gif());
  EXPECT_FALSE(display.shown[0].jpeg.has_value());
  EXPECT_EQ(display.shown[0].linkUrl, kDefaultLink);
}

TEST_F(AdImageLoaderTest, EachWakeUpOpensANewConnectionAndTheKindFollowsEachBanner) {
  server.Enqueue({GifBanner()});
  Start();
  FinishCycle(1);
  NextCycle(JpegBanner());
  NextCycle(GifBanner());

  EXPECT_EQ(server.Connections(), 3);
  ASSERT_EQ(display.shown.size(), 3u);
  EXPECT_TRUE(display.shown[0].isGif);
  EXPECT_FALSE(display.shown[1].isGif);
  EXPECT_TRUE(display.shown[1].jpeg.has_value());
  EXPECT_TRUE(display.shown[2].isGif);
}

struct FailedCycle {
  const char* name;
  std::function<std::string()> response;
};
void PrintTo(const FailedCycle& c, std::ostream* os) { *os << c.name; }


class AdImageLoaderFailedCycleTest : public AdImageLoaderTest,
                                     public testing::WithParamInterface<FailedCycle> {};

// After a shown banner, a cycle that fails must not call the window at all
// (banner, hint and link stay), and the next wake-up must work as before.
TEST_P(AdImageLoaderFailedCycleTest, LeavesTheBannerAsItWasAndTheNextCycleWorks) {
  server.Enqueue({JpegBanner()});
  Start();
  FinishCycle(1);
  NextCycle(GetParam().response());
  EXPECT_EQ(display.shown.size(), 1u);

  NextCycle(GifBanner());
  ASSERT_EQ(display.shown.size(), 2u);
  EXPECT_TRUE(display.shown[1].isGif);
}

INSTANTIATE_TEST_SUITE_P(
    Responses, AdImageLoaderFailedCycleTest,
    testing::Values(
        FailedCycle{"NotFound",
                    [] {
                      return HttpResponse("404 Not Found", "image/jpeg", "ADLINK=http://x.example/",
                                          testpictures::Jpeg(8, 8, {1, 2, 3}));
                    }},
        FailedCycle{"NoStatusLine", [] { return std::string("image/gif\r\n\r\nGIF89a"); }},
        FailedCycle{"ClosedWithoutAByte", [] { return std::string(); }},
        FailedCycle{"BodyNotJpeg",
                    [] { return HttpResponse("200 OK", "image/jpeg", "", "<html>oops</html>"); }},
        // Refused when its header is read on the loader thread.
        FailedCycle{"JpegWithTooManyScans",
                    [] {
                      return HttpResponse(
                          "200 OK", "image/jpeg", "",
                          testpictures::RepeatedScans(
                              testpictures::Jpeg(64, 16, {1, 2, 3}, JCS_GRAYSCALE, true), 200));
                    }},
        FailedCycle{"BrokenEscapeInTheLink", [] { return JpegBanner("ADLINK=http://x.example/%G1"); }},
        FailedCycle{"OverTheSizeBound",
                    [] {
                      return HttpResponse("200 OK", "image/gif", "",
                                          std::string(banner::MaxResponseSize, 'G'));
                    }}),
    [](const testing::TestParamInfo<FailedCycle>& info) { return std::string(info.param.name); });

TEST_F(AdImageLoaderTest, AGifTheWindowRefusesEndsOnlyThatCycle) {
  display.refuseGif = true;
  server.Enqueue({GifBanner()});
  Start();
  FinishCycle(1);
  display.refuseGif = false;
  NextCycle(JpegBanner());
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_FALSE(display.shown[0].isGif);
}

TEST_F(AdImageLoaderTest, NoServerLeavesTheBannerEmptyAndTheLoaderIdle) {
  int closedPort = 0;
  {
    testsupport::LoopbackAdServer gone;
    closedPort = gone.Port();
  }
  Start(banner::ExchangeTimeLimit, closedPort);
  ASSERT_TRUE(PumpUntil([&] { return loader->Suspended(); }));
  ASSERT_TRUE(loader->WakeIfIdle());
  ASSERT_TRUE(PumpUntil([&] { return loader->Suspended(); }));
  EXPECT_TRUE(display.shown.empty());
}

TEST_F(AdImageLoaderTest, TicksDuringASlowExchangeAreLostNotQueued) {
  server.Enqueue({JpegBanner(), /*held=*/true});
  Start();
  ASSERT_TRUE(PumpUntil([&] { return server.Connections() == 1; }));
  for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(loader->WakeIfIdle());

  server.Release();
  FinishCycle(1);
  EXPECT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(server.Connections(), 1);

  NextCycle(GifBanner());
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(server.MostOpenAtOnce(), 1);
  EXPECT_EQ(display.shown.size(), 2u);
}

TEST_F(AdImageLoaderTest, AServerThatNeverClosesIsCutOffByTheTimeLimit) {
  ScriptedResponse hung{JpegBanner()};
  hung.neverClose = true;
  server.Enqueue(hung);
  Start(300ms);
  FinishCycle(1);
  EXPECT_EQ(server.ClosedByClient(), 1);
  // The whole response had arrived; an exchange cut off is still a failure.
  EXPECT_TRUE(display.shown.empty());

  NextCycle(GifBanner());
  EXPECT_EQ(display.shown.size(), 1u);
}

TEST_F(AdImageLoaderTest, ShutdownEndsAnExchangeInProgressWithoutWaitingForTheTimeLimit) {
  server.Enqueue({JpegBanner(), /*held=*/true});
  Start();  // the 30 s limit: only the shutdown can end this exchange early
  ASSERT_TRUE(PumpUntil([&] { return server.Connections() == 1; }));
  invoker.Close();
  EXPECT_TRUE(loader->Shutdown(kBound));
  loader = nullptr;
  server.Release();
  ASSERT_TRUE(PumpUntil([&] { return server.Finished() == 1; }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(display.shown.empty());
}

TEST_F(AdImageLoaderTest, ABannerWaitingForAClosedWindowIsNeverShown) {
  std::atomic<bool> waiting = false;
  platform::Thread::Synchronizer window = invoker.Synchronizer();
  synchronizer = [&waiting, window](const std::function<void()>& call) {
    waiting = true;
    return window(call);
  };
  server.Enqueue({JpegBanner()});
  Start();
  // The window thread handles no event from here on, as in its destruction.
  const auto until = std::chrono::steady_clock::now() + kBound;
  while (!waiting && std::chrono::steady_clock::now() < until) std::this_thread::yield();
  ASSERT_TRUE(waiting);
  invoker.Close();
  EXPECT_TRUE(loader->Shutdown(kBound));
  loader = nullptr;
  QCoreApplication::processEvents();
  EXPECT_TRUE(display.shown.empty());
}

}  // namespace

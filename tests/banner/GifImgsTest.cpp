#include <gtest/gtest.h>

#include <QApplication>
#include <QMetaObject>
#include <QTest>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "banner/BannerLimits.h"
#include "banner/qt/GifImgs.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestSupport.h"
#include "tests/gif/HostileGifs.h"

using banner::TGifImage;
using giftest::DataPath;
using giftest::ReadFile;

// fontconfig keeps caches that it never frees; they are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

constexpr QRgb kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kYellow = 0xFFFF00,
               kWhite = 0xFFFFFF, kBlack = 0x000000;

void EnsureApp() {
  static int argc = 1;
  static char name[] = "test_gifimgs";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

void LoadBytes(TGifImage& control, const std::string& bytes) {
  gif::TByteViewStream stream(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  control.LoadFromStream(stream);
}

void LoadFixture(TGifImage& control, const std::string& name) {
  LoadBytes(control, ReadFile(DataPath(name)));
}

// What a picture should show: a base colour function with rectangles laid
// over it, the last one on top.
struct Scene {
  std::function<QRgb(int x, int y)> base;
  struct Layer {
    QRect area;
    std::function<QRgb(int x, int y)> colour;  // in picture coordinates
  };
  std::vector<Layer> layers;

  Scene Over(QRect area, std::function<QRgb(int, int)> colour) const {
    Scene s = *this;
    s.layers.push_back({area, std::move(colour)});
    return s;
  }
  QRgb At(int x, int y) const {
    for (auto it = layers.rbegin(); it != layers.rend(); ++it)
      if (it->area.contains(x, y)) return it->colour(x, y);
    return base(x, y);
  }
};

std::function<QRgb(int, int)> Solid(QRgb c) {
  return [c](int, int) { return c; };
}

// Compares every pixel; reports the first few that differ.
testing::AssertionResult Shows(const QImage& picture, QSize size, const Scene& scene) {
  if (picture.size() != size)
    return testing::AssertionFailure() << "picture is " << picture.width() << "x" << picture.height();
  int wrong = 0;
  auto failure = testing::AssertionFailure();
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) {
      const QRgb got = picture.pixel(x, y) & 0xFFFFFF;
      const QRgb want = scene.At(x, y) & 0xFFFFFF;
      if (got != want && ++wrong <= 5)
        failure << "(" << x << "," << y << ") is " << std::hex << got << " not " << want << std::dec << "; ";
    }
  return wrong == 0 ? testing::AssertionSuccess() : failure << wrong << " pixels differ";
}

// A control large enough to show the pictures of these tests whole (frames
// are drawn only on what the control shows).
class WholeGifImage : public TGifImage {
 public:
  WholeGifImage() { resize(1024, 1024); }
};

class GifImage : public testing::Test {
 protected:
  void SetUp() override { EnsureApp(); }
};

// ---- Disposal methods on real animated pictures ---------------------------

TEST_F(GifImage, Disposal3RestoresFrame1UnderTheSmallFrame) {
  WholeGifImage control;
  LoadFixture(control, "disposal3.gif");
  const QSize screen(20, 10);
  const Scene halves{[](int x, int) { return x < 10 ? kRed : kBlue; }, {}};
  const QRect frame2(2, 3, 4, 4), frame3(14, 3, 4, 4);

  EXPECT_TRUE(Shows(control.PictureImage(), screen, halves));
  control.NextFrame();
  EXPECT_TRUE(Shows(control.PictureImage(), screen, halves.Over(frame2, Solid(kGreen))));
  control.NextFrame();
  EXPECT_EQ(control.GetFrameIndex(), 3);
  EXPECT_TRUE(Shows(control.PictureImage(), screen, halves.Over(frame3, Solid(kYellow))));
  control.NextFrame();  // round again: frame 1 covers everything
  EXPECT_EQ(control.GetFrameIndex(), 1);
  EXPECT_TRUE(Shows(control.PictureImage(), screen, halves));
}

TEST_F(GifImage, Disposal2GivesBackgroundForOpaqueAndWhatLayUnderForTransparent) {
  WholeGifImage control;
  LoadFixture(control, "disposal2.gif");
  const QSize screen(20, 10);
  const auto checker = [](int x, int y) { return (x + y) % 2 == 0 ? kRed : kBlue; };
  const Scene board{checker, {}};
  const QRect green(2, 3, 4, 4), holes(10, 3, 4, 4), yellow(17, 7, 2, 2);
  // White where the frame's own checkerboard is even, transparent elsewhere.
  const auto holesOverBoard = [&](int x, int y) {
    return ((x - holes.x()) + (y - holes.y())) % 2 == 0 ? kWhite : checker(x, y);
  };

  EXPECT_TRUE(Shows(control.PictureImage(), screen, board));
  control.NextFrame();
  EXPECT_TRUE(Shows(control.PictureImage(), screen, board.Over(green, Solid(kGreen))));
  control.NextFrame();  // the opaque frame's area goes to the background colour (black)
  EXPECT_TRUE(Shows(control.PictureImage(), screen,
                    board.Over(green, Solid(kBlack)).Over(holes, holesOverBoard)));
  control.NextFrame();  // the transparent frame's area gets back what lay under it
  EXPECT_TRUE(Shows(control.PictureImage(), screen,
                    board.Over(green, Solid(kBlack)).Over(yellow, Solid(kYellow))));
}

// ---- A transparent first frame over what the screen shows ----------------

TEST_F(GifImage, TransparentFirstFrameShowsTheScreenUnderTheControl) {
  // A window of one colour with a patch of another under the left half of
  // the control: the frame's holes must show both, at the right places.
  const QRgb window = qRgb(10, 200, 30), patchColour = qRgb(200, 100, 50);
  QWidget top;
  top.setGeometry(40, 30, 60, 40);
  top.setAutoFillBackground(true);
  QPalette pal = top.palette();
  pal.setColor(QPalette::Window, QColor(window));
  top.setPalette(pal);
  QWidget patch(&top);
  patch.setGeometry(7, 5, 4, 6);
  patch.setAutoFillBackground(true);
  pal.setColor(QPalette::Window, QColor(patchColour));
  patch.setPalette(pal);
  TGifImage control(&top);
  control.setGeometry(7, 5, 8, 6);
  top.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));
  top.repaint();

  LoadFixture(control, "transparent_first.gif");

  const Scene expected{[&](int x, int y) {
                         if ((x + y) % 2 == 0) return kRed;
                         return x < 4 ? patchColour : window;
                       },
                       {}};
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(8, 6), expected));
  control.NextFrame();
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(8, 6), expected.Over(QRect(1, 1, 2, 2), Solid(kBlue))));
}

// ---- Delays --------------------------------------------------------------

struct DelayCase {
  std::string file;
  std::vector<int> intervals;  // after the load, then after each NextFrame
};

class GifImageDelays : public GifImage, public testing::WithParamInterface<DelayCase> {};

TEST_P(GifImageDelays, TimerIntervalFollowsTheFrames) {
  WholeGifImage control;
  LoadFixture(control, GetParam().file);
  std::vector<int> seen{control.GetFrameTimer().interval()};
  for (std::size_t i = 1; i < GetParam().intervals.size(); ++i) {
    control.NextFrame();
    seen.push_back(control.GetFrameTimer().interval());
  }
  EXPECT_EQ(seen, GetParam().intervals);
  EXPECT_FALSE(control.Animating()) << "a load starts nothing unless StartImmediately is set";
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, GifImageDelays,
    testing::Values(
        // A delay of 0 is taken as 10 hundredths, first or later.
        DelayCase{"delays_0_25_0.gif", {100, 250, 100, 100, 250}},
        // Delays 10, 20, 0, 125; then round to frame 1 again.
        DelayCase{"animation.gif", {100, 200, 100, 1250, 100}},
        DelayCase{"banner.gif", {250, 250}}),
    [](const auto& info) {
      std::string name = info.param.file.substr(0, info.param.file.find('.'));
      for (char& c : name)
        if (c == '_') c = 'x';
      return name;
    });

// A banner at its budgets costs what the control shows: the frames are
// drawn there only, and no faster than every 20 ms whatever their delays.
// A control grown past what was drawn starts again from the first frame.
TEST_F(GifImage, FramesAreDrawnOnlyWhereTheControlShowsThemAndNeverTooFast) {
  for (int delay = 0; delay <= 3; ++delay) {
    EXPECT_EQ(banner::FrameIntervalMs(delay), delay <= 1 ? 100 : delay * 10);
  }
  // Two opaque frames of 32 x 32, colours 1 and 2, both with delay 0.
  using namespace giftest;
  const std::string bytes = Head(32, 32) + GraphicControl(0, false, 0, 0) +
                            SimpleImage(32, 32, std::vector<int>(32 * 32, 1)) +
                            GraphicControl(0, false, 0, 0) +
                            SimpleImage(32, 32, std::vector<int>(32 * 32, 2)) + ";";
  const QRgb first = qRgb(1, 2, 3), second = qRgb(2, 4, 6);
  TGifImage control;
  control.resize(16, 8);
  LoadBytes(control, bytes);
  EXPECT_EQ(control.GetFrameTimer().interval(), 100);
  const Scene white{Solid(kWhite), {}};
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(32, 32), white.Over(QRect(0, 0, 16, 8), Solid(first))));
  control.NextFrame();
  EXPECT_EQ(control.GetFrameTimer().interval(), 100);
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(32, 32), white.Over(QRect(0, 0, 16, 8), Solid(second))));

  control.resize(40, 20);
  control.NextFrame();
  EXPECT_EQ(control.GetFrameIndex(), 1);
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(32, 32), white.Over(QRect(0, 0, 32, 20), Solid(first))));
  control.NextFrame();
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(32, 32), white.Over(QRect(0, 0, 32, 20), Solid(second))));
}

TEST_F(GifImage, StartImmediatelyStartsAnAnimationButNotAStillPicture) {
  WholeGifImage control;
  control.SetStartImmediately(true);
  LoadFixture(control, "animation.gif");
  EXPECT_TRUE(control.Animating());
  LoadFixture(control, "codesize_3.gif");
  EXPECT_FALSE(control.Animating());
}

TEST_F(GifImage, OneFrameKeepsTheIntervalAndRedrawsFrame1OnEveryTick) {
  WholeGifImage control;
  LoadFixture(control, "codesize_3.gif");
  EXPECT_EQ(control.GetFrameTimer().interval(), 1000);
  LoadFixture(control, "animation.gif");
  LoadFixture(control, "codesize_3.gif");
  EXPECT_EQ(control.GetFrameTimer().interval(), 100);

  const QImage first = control.PictureImage().copy();
  EXPECT_EQ(first.size(), QSize(23, 9));
  control.SetAnimating(true);
  control.TimerTick();
  control.TimerTick();
  EXPECT_EQ(control.GetFrameIndex(), 1);
  EXPECT_EQ(control.PictureImage(), first);
}

TEST_F(GifImage, ALongAnimationPlaysWholeWithoutABitmapPerFrame) {
  WholeGifImage control;
  LoadFixture(control, "long_animation.gif");
  ASSERT_EQ(control.GetGifFile().SubImages.Count(), 300);
  const auto frame = [](int i) {
    return Scene{[i](int x, int y) {
                   const int k = (x + 2 * y + i) % 16;
                   return qRgb(16 * k, 255 - 16 * k, (37 * k) % 256);
                 },
                 {}};
  };
  for (int i = 0; i < 300; ++i) {
    if (i > 0) control.NextFrame();
    ASSERT_TRUE(Shows(control.PictureImage(), QSize(16, 8), frame(i))) << "frame " << i + 1;
  }
  control.NextFrame();
  EXPECT_EQ(control.GetFrameIndex(), 1);
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(16, 8), frame(0)));
  for (const auto& f : control.GetGifFile().SubImages) ASSERT_EQ(f->Bitmap(), nullptr);
}

// ---- The timer -----------------------------------------------------------

TEST_F(GifImage, RunningTimerStepsThroughTheFrames) {
  WholeGifImage control;
  LoadFixture(control, "delays_0_25_0.gif");
  control.SetAnimating(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return control.GetFrameIndex() == 2; }, 10000));
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(6, 4), Scene{Solid(kGreen), {}}));
}

TEST_F(GifImage, SettingAnimatingToItsValueKeepsTheCountdown) {
  WholeGifImage control;  // interval 1000
  control.SetAnimating(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return control.GetFrameTimer().remainingTime() <= 900; }, 10000));
  control.SetAnimating(true);
  EXPECT_LE(control.GetFrameTimer().remainingTime(), 900);
  control.SetAnimating(false);
  EXPECT_FALSE(control.Animating());
}

// ---- Failed loads --------------------------------------------------------

TEST_F(GifImage, FailedLoadKeepsThePictureAndIgnoresTicksUntilALoadSucceeds) {
  struct Bad {
    const char* what;
    std::string bytes;
  };
  const std::vector<Bad> bad{
      {"unknown extension after two frames", ReadFile(DataPath("bad_extension.gif"))},
      {"no frame at all", giftest::Head(4, 4) + ";"},
      {"wrong version", "GIF90a" + giftest::Head(4, 4).substr(6) + ";"},
      // Files that ask for more than the reader or the control allows.
      {"LZW bombs on a banner's screen", giftest::LzwBombGif(30, 8192, 8192, 576, 74)},
      {"LZW bombs on their own screen", giftest::LzwBombGif(30, 8192, 8192, 8192, 8192)},
      {"100000 frames of 1 x 1", giftest::TinyFramesGif(100000)},
      {"a million one-byte comment blocks", giftest::CommentBlocksGif(1000000)},
      {"60 empty frames of 5000 x 5000", giftest::EmptyFramesGif(60, 5000, 5000)},
      {"a screen past the banner's bound", giftest::EmptyFramesGif(1, 4097, 4096)},
  };
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.what);
    WholeGifImage control;
    LoadFixture(control, "disposal3.gif");
    control.SetAnimating(true);
    const QImage before = control.PictureImage().copy();

    EXPECT_ANY_THROW(LoadBytes(control, b.bytes));
    EXPECT_TRUE(control.IsLoading());
    EXPECT_EQ(control.GetGifFile().SubImages.Count(), 0) << "the frames read before the failure are kept";
    control.TimerTick();
    control.TimerTick();
    EXPECT_EQ(control.PictureImage(), before);
    EXPECT_EQ(control.GetFrameIndex(), 1);

    LoadFixture(control, "disposal3.gif");
    EXPECT_FALSE(control.IsLoading());
    control.TimerTick();
    EXPECT_EQ(control.GetFrameIndex(), 2);
  }
}

TEST_F(GifImage, FailedLoadDuringTheFrameStepsPumpEndsTheStepQuietly) {
  // Wrapping round to frame 1 handles pending messages; a banner load that
  // fails in there leaves a file without frames behind.
  WholeGifImage control;
  LoadFixture(control, "delays_0_25_0.gif");
  control.NextFrame();
  control.NextFrame();
  const std::string noFrames = giftest::Head(4, 4) + ";";
  QMetaObject::invokeMethod(
      &control, [&] { EXPECT_ANY_THROW(LoadBytes(control, noFrames)); }, Qt::QueuedConnection);
  EXPECT_NO_THROW(control.NextFrame());
  EXPECT_TRUE(control.IsLoading());
}

// ---- Untrusted geometry --------------------------------------------------

// A frame of 2-bit colour indices at (left, top); one index repeated when
// pixels holds only one.
std::string PlacedFrame(int left, int top, int width, int height, std::vector<int> pixels,
                        const std::string& localTable = "") {
  if (pixels.size() == 1) pixels.assign(static_cast<std::size_t>(width * height), pixels[0]);
  giftest::CodeWriter w(2);
  w.Code(w.Clear());
  for (int p : pixels) w.Code(p);
  w.Code(w.End());
  return giftest::Image(left, top, width, height, localTable.empty() ? 0 : 0x81, 2, w.Bytes(), localTable);
}

// Frame 1 at (2, 1), 3 x 2, on a 6 x 4 screen: whatever the first frame's
// kind, the frame shows at its own place only and the rest of the screen
// holds the kind's background.
struct FirstFrameCase {
  std::string name;
  std::string bytes;
  QRgb outside;
  std::function<QRgb(int x, int y)> inside;  // frame coordinates
};
class GifImageFirstFrame : public GifImage, public testing::WithParamInterface<FirstFrameCase> {};

constexpr QRgb kScreen = 0x0963C7;  // what the injected screen shows

TEST_P(GifImageFirstFrame, ShowsAtItsOwnPlaceOverItsBackground) {
  WholeGifImage control;
  QRect copied;
  control.SetScreenCopier([&](const QRect& rect, gif::TBitmap& bitmap) {
    copied = rect;
    bitmap.Image = QImage(rect.size(), QImage::Format_RGB32);
    bitmap.Image.fill(kScreen);
  });
  LoadBytes(control, GetParam().bytes);
  const QRect frame(2, 1, 3, 2);
  const Scene expected = Scene{Solid(GetParam().outside), {}}.Over(
      frame, [&](int x, int y) { return GetParam().inside(x - frame.x(), y - frame.y()); });
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(6, 4), expected));
  if (copied.isValid()) {
    EXPECT_EQ(copied.size(), QSize(6, 4));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, GifImageFirstFrame,
    testing::Values(
        // Own colour table only: a fresh (white) screen around the frame.
        FirstFrameCase{"OpaqueWithoutGlobalTable",
                       giftest::Head(6, 4, 2, false) +
                           PlacedFrame(2, 1, 3, 2, {1}, std::string("\x32\x3C\x46\xC8\x0A\x0A", 6) +
                                                            std::string(6, '\0')) +
                           ";",
                       kWhite, Solid(0xC80A0A)},
        // Global table (i, 2i, 3i), background index 2.
        FirstFrameCase{"OpaqueOverBackgroundColour",
                       giftest::Head(6, 4, 2, true, "GIF89a", 2) + PlacedFrame(2, 1, 3, 2, {1}) + ";",
                       qRgb(2, 4, 6), Solid(qRgb(1, 2, 3))},
        // Index 0 transparent: the screen through the holes and around.
        FirstFrameCase{"TransparentOverTheScreen",
                       giftest::Head(6, 4) + giftest::GraphicControl(0, true, 0, 0) +
                           PlacedFrame(2, 1, 3, 2, {1, 0, 1, 0, 1, 0}) + ";",
                       kScreen, [](int x, int y) { return (x + y) % 2 == 0 ? qRgb(1, 2, 3) : kScreen; }}),
    [](const auto& info) { return info.param.name; });

TEST_F(GifImage, FramesBeyondTheScreenAreCutOff) {
  // Screen 6 x 4, global colours (i, 2i, 3i): frames across the right and
  // bottom edges and far outside, with every disposal that keeps a backup.
  using giftest::GraphicControl;
  const std::string bytes = giftest::Head(6, 4) + PlacedFrame(0, 0, 6, 4, {1}) +
                            GraphicControl(3, false, 1, 0) + PlacedFrame(4, 2, 5, 5, {2}) +
                            GraphicControl(2, true, 1, 0) + PlacedFrame(5, 3, 7, 3, {3}) +
                            GraphicControl(2, false, 1, 0) + PlacedFrame(65000, 65000, 3, 3, {2}) +
                            GraphicControl(3, true, 1, 0) + PlacedFrame(65530, 1, 6, 2, {3}) + ";";
  WholeGifImage control;
  LoadBytes(control, bytes);
  const QRgb c1 = qRgb(1, 2, 3), c2 = qRgb(2, 4, 6), c3 = qRgb(3, 6, 9);
  const Scene base{Solid(c1), {}};
  control.NextFrame();
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(6, 4), base.Over(QRect(4, 2, 2, 2), Solid(c2))));
  control.NextFrame();  // frame 2's area back to frame 1 (disposal 3)
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(6, 4), base.Over(QRect(5, 3, 1, 1), Solid(c3))));
  control.NextFrame();
  control.NextFrame();
  control.NextFrame();
  EXPECT_EQ(control.GetFrameIndex(), 1);
  EXPECT_TRUE(Shows(control.PictureImage(), QSize(6, 4), base));
}

TEST_F(GifImage, TicksBeforeAnyLoadRedrawTheEmptyPicture) {
  WholeGifImage control;
  control.SetAnimating(true);
  control.TimerTick();
  control.TimerTick();
  EXPECT_EQ(control.GetFrameIndex(), 1);
  EXPECT_TRUE(control.PictureImage().isNull());
}

// ---- As an image control -------------------------------------------------

TEST_F(GifImage, PaintsThePictureUnscaledFromTheTopLeftCutAtItsBounds) {
  QWidget top;
  top.setGeometry(0, 0, 80, 60);
  const QRgb window = qRgb(10, 200, 30);
  top.setAutoFillBackground(true);
  QPalette pal = top.palette();
  pal.setColor(QPalette::Window, QColor(window));
  top.setPalette(pal);
  TGifImage control(&top);
  EXPECT_EQ(control.size(), QSize(0, 0));
  LoadFixture(control, "disposal3.gif");  // 20 x 10, red left half, blue right half
  top.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&top));

  for (QSize size : {QSize(7, 5), QSize(30, 16)}) {
    SCOPED_TRACE(size.width());
    control.resize(size);
    const QImage shown = control.grab().toImage();
    ASSERT_EQ(shown.size(), size);
    const Scene expected{[&](int x, int y) {
                           if (x >= 20 || y >= 10) return window;
                           return x < 10 ? kRed : kBlue;
                         },
                         {}};
    EXPECT_TRUE(Shows(shown, size, expected));
  }
}

}  // namespace

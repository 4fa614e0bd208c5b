#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QTest>

#include "gif/qt/FmCanSav.h"
#include "gif/qt/GifBitmap.h"
#include "gif/qt/GifUnitQt.h"
#include "gif/qt/PictureFormats.h"
#include "tests/gif/GifBuilder.h"
#include "tests/gif/GifTestSupport.h"

using namespace gif;
using namespace giftest;

// fontconfig keeps caches that it never frees once a widget has laid out
// text; LeakSanitizer reports them at exit. They are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

void EnsureApp() {
  static int argc = 1;
  static char name[] = "test_gif_qt";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

class GifQt : public testing::Test {
 protected:
  void SetUp() override { EnsureApp(); }
};

// 3 x 2 frame of indices 0 1 2 / 2 1 0 on the global table (i, 2i, 3i),
// with index 1 transparent.
std::unique_ptr<TGifFile> TransparentFrame() {
  return Load(Head(3, 2) + GraphicControl(0, true, 0, 1) + SimpleImage(3, 2, {0, 1, 2, 2, 1, 0}) + ";");
}

QRgb Entry(int i) { return qRgb(i, 2 * i, 3 * i); }

}  // namespace

TEST_F(GifQt, BitmapIsBuiltOnceWithTheFramesPalette) {
  auto file = TransparentFrame();
  TGifSubImage& f = file->GetSubImage(1);
  TBitmap* b = GetBitmap(f);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Image.format(), QImage::Format_Indexed8);
  EXPECT_EQ(b->Image.size(), QSize(3, 2));
  ASSERT_EQ(b->Image.colorCount(), 256);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(b->Image.color(i) & 0xFFFFFF, Entry(i) & 0xFFFFFF);
  for (int i = 4; i < 256; ++i) EXPECT_EQ(b->Image.color(i) & 0xFFFFFF, 0u);
  EXPECT_EQ(b->Image.pixelIndex(1, 0), 1);
  EXPECT_EQ(b->Image.pixelIndex(0, 1), 2);
  EXPECT_EQ(GetBitmap(f), b);
}

TEST_F(GifQt, AddBitmapFrameHandsBackTheCallersBitmap) {
  TGifFile file;
  TBitmap mine;
  TGifSubImage& f = file.AddBitmap(&mine);
  EXPECT_EQ(GetBitmap(f), &mine);
  EXPECT_EQ(f.GetDelay(), 0);
  EXPECT_EQ(f.GetTransparentColor(), -1);
}

struct DrawCase {
  std::string name;
  int x, y;
};
class DrawTransparentTest : public GifQt, public testing::WithParamInterface<DrawCase> {};

TEST_P(DrawTransparentTest, TargetKeepsItsPixelsWhereTheSourceIsTransparent) {
  auto file = TransparentFrame();
  TGifSubImage& f = file->GetSubImage(1);
  QImage target(6, 5, QImage::Format_RGB32);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) target.setPixel(x, y, qRgb(10 * x + 5, 40 * y + 3, 77));
  const QImage before = target;
  {
    QPainter canvas(&target);
    DrawTransparent(canvas, GetParam().x, GetParam().y, f.GetTransparentColor(), GetBitmap(f)->Image);
    EXPECT_EQ(canvas.compositionMode(), QPainter::CompositionMode_SourceOver);
  }
  EXPECT_FALSE(DrawingTransparent);
  const int src[2][3] = {{0, 1, 2}, {2, 1, 0}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const int sx = x - GetParam().x, sy = y - GetParam().y;
      const bool inside = sx >= 0 && sx < 3 && sy >= 0 && sy < 2;
      const QRgb expected = inside && src[sy][sx] != 1 ? Entry(src[sy][sx]) : before.pixel(x, y);
      EXPECT_EQ(target.pixel(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Places, DrawTransparentTest,
                         testing::Values(DrawCase{"Origin", 0, 0}, DrawCase{"Inside", 2, 1},
                                         DrawCase{"PartlyOutside", 4, 4}, DrawCase{"Negative", -1, -1},
                                         DrawCase{"WhollyOutside", 40, 3}),
                         [](const auto& info) { return info.param.name; });

// 65538 and 65537 as 16-bit signed numbers are 2 and 1.
TEST_F(GifQt, DrawTransparentTakesCoordinatesAsSixteenBits) {
  auto file = TransparentFrame();
  TGifSubImage& f = file->GetSubImage(1);
  QImage a(6, 5, QImage::Format_RGB32), b(6, 5, QImage::Format_RGB32);
  a.fill(qRgb(9, 9, 9));
  b.fill(qRgb(9, 9, 9));
  {
    QPainter pa(&a), pb(&b);
    DrawTransparent(pa, 2, 1, f.GetTransparentColor(), GetBitmap(f)->Image);
    DrawTransparent(pb, 65538, 65537, f.GetTransparentColor(), GetBitmap(f)->Image);
  }
  EXPECT_EQ(a, b);
}

TEST_F(GifQt, AllTransparentFrameLeavesTheTargetUnchanged) {
  auto file = Load(Head(2, 2) + GraphicControl(0, true, 0, 3) + SimpleImage(2, 2, {3, 3, 3, 3}) + ";");
  TGifSubImage& f = file->GetSubImage(1);
  QImage target(4, 4, QImage::Format_RGB32);
  target.fill(qRgb(200, 100, 50));
  const QImage before = target;
  {
    QPainter canvas(&target);
    DrawTransparent(canvas, 1, 1, f.GetTransparentColor(), GetBitmap(f)->Image);
  }
  EXPECT_EQ(target, before);
}

TEST_F(GifQt, CopyScreenRectSizesTheBitmap) {
  TBitmap b;
  CopyScreenRect(QRect(5, 6, 7, 3), b);
  EXPECT_EQ(b.Image.size(), QSize(7, 3));
}

TEST_F(GifQt, GifBitmapLoadsTheFirstFrame) {
  TMemoryStream stream(ReadFile(DataPath("local_tables.gif")));
  auto file = Load(stream.Bytes());
  TGifBitmap b;
  b.LoadFromStream(stream);
  const QImage first = GetBitmap(file->GetSubImage(1))->Image;
  EXPECT_EQ(b.Image, first);
}

TEST_F(GifQt, GifBitmapWithoutFramesRaisesTheListError) {
  TMemoryStream stream(Head(2, 2) + ";");
  TGifBitmap b;
  EXPECT_THROW(b.LoadFromStream(stream), EListError);
}

TEST_F(GifQt, SessionRegistersTheFormatAndTheDialog) {
  {
    GifUnitSession session;
    const TPictureFormat* format = FindFileFormat("GIF");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->Description, "GIF-Format");
    TMemoryStream stream(ReadFile(DataPath("codesize_3.gif")));
    EXPECT_EQ(format->Load(stream).size(), QSize(23, 9));
    ASSERT_NE(CanSaveDialog, nullptr);
    EXPECT_EQ(CanSaveDialog->windowTitle(), "Save");
  }
  EXPECT_EQ(FindFileFormat("gif"), nullptr);
  EXPECT_EQ(CanSaveDialog, nullptr);
}

TEST_F(GifQt, SessionShowsTheWaitCursorWhileReading) {
  GifUnitSession session;
  bool waitShown = false;
  // The pump runs after each row: look at the cursor from inside the read.
  auto callbacks = GifCallbacks();
  callbacks.ProcessMessages = [&] {
    waitShown = QApplication::overrideCursor() != nullptr &&
                QApplication::overrideCursor()->shape() == Qt::WaitCursor;
  };
  SetGifCallbacks(callbacks);
  Load(ReadFile(DataPath("codesize_2.gif")));
  EXPECT_TRUE(waitShown);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

struct ButtonCase {
  std::string button;
  int result;
};
class CanSaveButtons : public GifQt, public testing::WithParamInterface<ButtonCase> {};

TEST_P(CanSaveButtons, ModalResults) {
  TCanSaveDialog dialog;
  dialog.show();
  QPushButton* button = GetParam().button == "yes" ? dialog.YesButton : dialog.NoButton;
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(dialog.result(), GetParam().result);
  EXPECT_FALSE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Buttons, CanSaveButtons,
                         testing::Values(ButtonCase{"yes", 1}, ButtonCase{"no", 3}));

TEST_F(GifQt, CanSaveDialogTexts) {
  TCanSaveDialog dialog;
  EXPECT_EQ(dialog.FilenameLabel->text(), "filename already exists.");
  EXPECT_EQ(dialog.QuestionLabel->text(), "Do you want to replace it?");
  EXPECT_EQ(dialog.SaveAsButton->text(), "&Change filename");
  EXPECT_EQ(dialog.SaveDialog->acceptMode(), QFileDialog::AcceptSave);
}

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QPushButton>
#include <QSplitter>
#include <climits>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "analysis/FileTable.h"
#include "platform/qt/DesignUnits.h"
#include "platform/qt/Panel.h"
#include "platform/qt/StatusBar.h"
#include "results/qt/StringGrid.h"
#include "tests/support/WindowFixture.h"

namespace {

const char* kKey = "\\Software\\Orvanta\\Quilmere";

// Sets or clears a folder's immutable attribute (chattr +i), which keeps even
// root from adding a file to it.
bool SetImmutable(const std::string& dir, bool on) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) close(fd);
  return done;
}

class SettingsTest : public testsupport::WindowFixture {
 protected:
  void SetUp() override {}  // each test opens the window itself

  QJsonObject Key() const {
    return QJsonDocument::fromJson(Read(RegistryPath())).object().value(kKey).toObject();
  }
  static QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void WriteKey(const QJsonObject& values) {
    QJsonObject root;
    root.insert(kKey, values);
    config.Write("registry.json", QJsonDocument(root).toJson().toStdString());
  }
  QJsonObject Layout(int treeWidth) const {
    return QJsonObject{{"Top", 40},   {"Left", 30},   {"Width", 700},
                       {"Height", 500}, {"ShellTreeWidth", treeWidth},
                       {"Col0", 30},  {"Col1", 150},  {"Col2", 90}};
  }
};

TEST_F(SettingsTest, FirstStartWritesTheWholeLayoutAtOnce) {
  OpenWindow();
  const QJsonObject key = Key();
  for (const char* name : {"Top", "Left", "Width", "Height", "ShellTreeWidth", "Col0", "Col1", "Col2"}) {
    EXPECT_TRUE(key.value(name).isDouble()) << name;
  }
  EXPECT_EQ(key.value("ShellTreeWidth").toInt(), platform::Du(window.get(), 228));
  EXPECT_EQ(key.value("Col1").toInt(), platform::Du(window.get(), 186));
  EXPECT_FALSE(key.contains("MRU1"));
  EXPECT_EQ(window->CBProjectDir->count(), 0);
}

TEST_F(SettingsTest, NarrowedTreeAndColumnComeBackAfterARestart) {
  OpenWindow();
  window->Splitter1->setSizes({150, window->Splitter1->width() - 150});
  window->StringGrid1->SetColWidth(1, 111);
  window.get()->close();
  OpenWindow();
  EXPECT_EQ(window->Panel3->width(), 150);
  EXPECT_EQ(window->StringGrid1->ColWidth(1), 111);
}

TEST_F(SettingsTest, RecentDirectoriesFillTheListWithGapsClosed) {
  QJsonObject values = Layout(200);
  values.insert("MRU1", "/a/");
  values.insert("MRU2", "   ");
  values.insert("MRU4", "/d/");
  WriteKey(values);
  OpenWindow();
  ASSERT_EQ(window->CBProjectDir->count(), 2);
  EXPECT_EQ(window->CBProjectDir->itemText(0), "/a/");
  EXPECT_EQ(window->CBProjectDir->itemText(1), "/d/");
  EXPECT_EQ(window->CBProjectDir->currentText(), "");  // the box's text stays empty
  EXPECT_EQ(window->Panel3->width(), 200);
  EXPECT_EQ(window->StringGrid1->ColWidth(2), 90);
}

TEST_F(SettingsTest, ValueOfTheWrongTypeEndsTheReadingAndSavesTheLayout) {
  QJsonObject values = Layout(200);
  values.insert("Col0", "wide");  // a string where an integer belongs
  values.insert("MRU1", "/a/");
  WriteKey(values);
  OpenWindow();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window->Panel3->width(), 200);  // read before the bad value
  EXPECT_EQ(window->CBProjectDir->count(), 0);  // after it: not read
  EXPECT_TRUE(Key().value("Col0").isDouble());  // saved at once
  EXPECT_EQ(Key().value("MRU1").toString(), "/a/");
}

// Recent entries that no directory can be (a NUL byte, which would end the
// path early and make the scan list one folder for ever; a text past the path
// limit; a number) are dropped when read: never listed, no error, and the
// next update writes over them instead of failing on them.
TEST_F(SettingsTest, RecentEntriesThatCannotBeDirectoriesAreDropped) {
  analysis::FileTable.Reset();
  testsupport::TempDir site;
  site.Write("index.htm", "plain");
  site.Write("x/a.gif");  // what the text would name if the NUL were dropped
  const std::string withNul = site.Dir() + std::string("\0/x/", 4);
  QJsonObject values = Layout(200);
  values.insert("MRU1", QString::fromLocal8Bit(withNul.data(), static_cast<int>(withNul.size())));
  values.insert("MRU2", 5);
  values.insert("MRU3", "/a/");
  values.insert("MRU4", QString(PATH_MAX, QChar('d')));
  WriteKey(values);
  platform::SetMessageBoxHandler([this](const QString& text, const QString& title,
                                        platform::MessageIcon) {
    boxes.push_back({text.toStdString(), title.toStdString()});
  });
  OpenWindow();
  EXPECT_TRUE(boxes.empty());
  ASSERT_EQ(window->CBProjectDir->count(), 1);
  EXPECT_EQ(window->CBProjectDir->itemText(0), "/a/");
  EXPECT_EQ(window->StringGrid1->ColWidth(2), 90);  // read after the recent list

  Process(withNul);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Invalid directory");
  EXPECT_EQ(analysis::FileTable.FileCount, 0);

  Process(site.Dir());
  EXPECT_EQ(window->StatusBar1->PanelText(0).toStdString(), "  2 files.  ");
  EXPECT_EQ(Key().value("MRU1").toString().toStdString(), site.Dir());
}

TEST_F(SettingsTest, CorruptRegistryFileIsNeverAnError) {
  config.Write("registry.json", "\x01garbage{");
  OpenWindow();
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(Key().value("Top").isDouble());
  EXPECT_EQ(Read(RegistryPath() + ".bad"), "\x01garbage{");
}

TEST_F(SettingsTest, SavedLayoutIsHeldToWhatTheScreenCanShow) {
  for (const int v : {16777215, -5000, INT_MIN}) {
    SCOPED_TRACE(v);
    WriteKey(QJsonObject{{"Top", v}, {"Left", v}, {"Width", v}, {"Height", v},
                         {"ShellTreeWidth", v}, {"Col0", v}, {"Col1", v}, {"Col2", v}});
    OpenWindow();
    const QRect desk = window.get()->screen()->availableGeometry();
    EXPECT_TRUE(desk.contains(window.get()->frameGeometry()));
    EXPECT_GE(window.get()->width(), window.get()->minimumWidth());
    EXPECT_GE(window.get()->height(), window.get()->minimumHeight());
    EXPECT_LE(window->Panel3->width(), window.get()->width());
    for (int col = 0; col < 3; ++col) {
      const int width = window->StringGrid1->ColWidth(col);
      EXPECT_TRUE(width >= 0 && width <= desk.width()) << width;
    }
  }
}

TEST_F(SettingsTest, UnwritableStoreKeepsTheProcessRunAndListsItsDirectoryOnce) {
  OpenWindow();
  ASSERT_TRUE(SetImmutable(config.Dir(), true)) << "chattr +i fails in " << config.Dir();
  const std::shared_ptr<void> thaw(nullptr, [this](void*) { SetImmutable(config.Dir(), false); });
  const QByteArray stored = Read(RegistryPath());
  testsupport::TempDir site;
  site.Write("index.htm", "plain");
  Process(site.Dir());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(analysis::FileTable.FileCount, 1);
  EXPECT_EQ(window->StatusBar1->PanelText(0).toStdString(),
            "  1 files.  Recent directories not saved.");
  EXPECT_TRUE(window->BtnDelete->isEnabled());
  EXPECT_FALSE(window->UpdateRecentDirs(site.Dir()));
  EXPECT_EQ(window->CBProjectDir->count(), 1);
  EXPECT_EQ(Read(RegistryPath()), stored);
}

}  // namespace

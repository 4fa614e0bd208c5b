#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <sys/stat.h>

#include "platform/qt/Registry.h"
#include "tests/support/TempDir.h"

namespace {

const QString kKey = QStringLiteral("\\Software\\Orvanta\\Quilmere");

std::string ReadAll(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<none>";
}

class RegistryTest : public testing::Test {
 protected:
  QString Path() const { return QString::fromStdString(File()); }
  std::string File() const { return tmp.Dir() + "cfg/registry.json"; }
  testsupport::TempDir tmp;
};

TEST_F(RegistryTest, TypedValuesSurviveAReopen) {
  {
    platform::Registry registry(Path());
    auto key = registry.OpenKey(kKey, true);
    ASSERT_TRUE(key);
    key->WriteInteger("Top", -20);
    key->WriteString("MRU1", "/s\xc3\xa9/");
    EXPECT_FALSE(QFile::exists(Path()));  // the writes are saved together by Close
    key->Close();
  }
  platform::Registry registry(Path());
  auto key = registry.OpenKey(kKey, false);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadInteger("Top"), -20);
  EXPECT_EQ(key->ReadString("MRU1"), "/s\xc3\xa9/");
  // A missing string reads empty; a missing integer is an error.
  EXPECT_EQ(key->ReadString("MRU2"), "");
  EXPECT_THROW(key->ReadInteger("Left"), platform::RegistryError);
  // The other type is an error both ways.
  EXPECT_THROW(key->ReadInteger("MRU1"), platform::RegistryError);
  EXPECT_THROW(key->ReadString("Top"), platform::RegistryError);
}

TEST_F(RegistryTest, FileThatDoesNotParseIsMovedAsideWholeBeforeASave) {
  const std::string tooLarge = R"({"\\Software\\Orvanta\\Quilmere": {"Top": 1}})" +
                               std::string(platform::MaxRegistryFileBytes, ' ');
  for (const std::string& content :
       {std::string("{ \"MRU1\": \"/a/"), std::string("[1]"), tooLarge}) {
    SCOPED_TRACE(content.substr(0, 12));
    tmp.Write("cfg/registry.json", content);
    tmp.Write("cfg/registry.json.bad", "older");
    EXPECT_EQ(platform::Registry(Path()).OpenKey(kKey, false), nullptr);  // a read-only open
    auto key = platform::Registry(Path()).OpenKey(kKey, true);
    ASSERT_TRUE(key);
    EXPECT_EQ(ReadAll(File() + ".bad"), content);
    EXPECT_THROW(key->ReadInteger("Top"), platform::RegistryError);
    key->WriteInteger("Top", 5);
    key->Close();
    auto reopened = platform::Registry(Path()).OpenKey(kKey, false);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->ReadInteger("Top"), 5);
  }
}

TEST_F(RegistryTest, LinkStaysALinkAndOnlyARegistryFileBehindItIsWritten) {
  const struct {
    const char* target;
    const char* content;  // nullptr: a dangling link
  } cases[] = {{"real.json", R"({"other": {}})"}, {"notes.txt", "my notes"}, {"gone.json", nullptr}};
  std::filesystem::create_directories(tmp.Dir() + "cfg");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    if (c.content) tmp.Write(c.target, c.content);
    std::filesystem::remove(File());
    std::filesystem::create_symlink(tmp.Dir() + c.target, File());
    auto key = platform::Registry(Path()).OpenKey(kKey, true);
    ASSERT_TRUE(key);
    key->WriteString("MRU1", "/a/");
    if (c.target == std::string("real.json")) {
      key->Close();
      EXPECT_NE(ReadAll(tmp.Dir() + c.target).find("/a/"), std::string::npos);
    } else {
      EXPECT_THROW(key->Close(), platform::RegistryError);
      EXPECT_EQ(ReadAll(tmp.Dir() + c.target), c.content ? c.content : "<none>");
    }
    EXPECT_TRUE(std::filesystem::is_symlink(File()));
  }
}

TEST_F(RegistryTest, KeyThatCannotBeCreatedDoesNotOpen) {
  tmp.Write("blocker", "a file where the folder should be");
  platform::Registry registry(QString::fromStdString(tmp.Dir() + "blocker/registry.json"));
  EXPECT_EQ(registry.OpenKey(kKey, true), nullptr);
  platform::Registry fresh(Path());
  EXPECT_EQ(fresh.OpenKey(kKey, false), nullptr);
}

// Numbers far outside any integer's range are refused before any cast (the
// sanitizer build traps a float-to-integer cast that overflows).
TEST_F(RegistryTest, NonIntegralAndOutOfRangeNumbersAreNotIntegers) {
  tmp.Write("cfg/registry.json",
            R"({"\\Software\\Orvanta\\Quilmere": {"A": 1.5, "B": 4294967296, "C": 7,
                "D": 1e300, "E": -1e300, "F": 2147483647.5, "G": -2147483648, "H": 2147483647}})");
  platform::Registry registry(Path());
  auto key = registry.OpenKey(kKey, false);
  ASSERT_TRUE(key);
  for (const char* name : {"A", "B", "D", "E", "F"}) {
    EXPECT_THROW(key->ReadInteger(name), platform::RegistryError) << name;
  }
  EXPECT_EQ(key->ReadInteger("C"), 7);
  EXPECT_EQ(key->ReadInteger("G"), -2147483647 - 1);
  EXPECT_EQ(key->ReadInteger("H"), 2147483647);
}

}  // namespace

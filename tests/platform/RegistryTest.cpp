#include <gtest/gtest.h>

#include <QFile>
#include <sys/stat.h>

#include "platform/Registry.h"
#include "tests/support/TempDir.h"

namespace {

const QString kKey = QStringLiteral("\\Software\\Orvanta\\Quilmere");

class RegistryTest : public testing::Test {
 protected:
  QString Path() const { return QString::fromStdString(tmp.Dir() + "cfg/registry.json"); }
  testsupport::TempDir tmp;
};

TEST_F(RegistryTest, TypedValuesSurviveAReopen) {
  {
    platform::Registry registry(Path());
    auto key = registry.OpenKey(kKey, true);
    ASSERT_TRUE(key);
    key->WriteInteger("Top", -20);
    key->WriteString("MRU1", "/s\xc3\xa9/");
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

TEST_F(RegistryTest, CorruptFileReadsAsEmptyKeyAndIsReplacedOnWrite) {
  tmp.Write("cfg/registry.json", "{ this is not json");
  platform::Registry registry(Path());
  auto key = registry.OpenKey(kKey, true);
  ASSERT_TRUE(key);
  EXPECT_THROW(key->ReadInteger("Top"), platform::RegistryError);
  key->WriteInteger("Top", 5);
  EXPECT_EQ(key->ReadInteger("Top"), 5);
}

TEST_F(RegistryTest, KeyThatCannotBeCreatedDoesNotOpen) {
  tmp.Write("blocker", "a file where the folder should be");
  platform::Registry registry(QString::fromStdString(tmp.Dir() + "blocker/registry.json"));
  EXPECT_EQ(registry.OpenKey(kKey, true), nullptr);
  platform::Registry fresh(Path());
  EXPECT_EQ(fresh.OpenKey(kKey, false), nullptr);
}

TEST_F(RegistryTest, NonIntegralNumbersAreNotIntegers) {
  tmp.Write("cfg/registry.json",
            R"({"\\Software\\Orvanta\\Quilmere": {"A": 1.5, "B": 4294967296, "C": 7}})");
  platform::Registry registry(Path());
  auto key = registry.OpenKey(kKey, false);
  ASSERT_TRUE(key);
  EXPECT_THROW(key->ReadInteger("A"), platform::RegistryError);
  EXPECT_THROW(key->ReadInteger("B"), platform::RegistryError);
  EXPECT_EQ(key->ReadInteger("C"), 7);
}

}  // namespace

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/DirectoryListing.h"
#include "platform/FileSystem.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

using testsupport::TempDir;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

std::map<std::string, std::uint32_t> List(const std::string& dir) {
  platform::PosixDirectorySource source;
  std::map<std::string, std::uint32_t> out;
  auto listing = source.Open(dir);
  if (!listing) return out;
  platform::DirEntry entry;
  while (listing->Next(entry)) out[entry.Name] = entry.Attr;
  return out;
}

TEST(DirectoryListing, MapsKindsOntoAttributeBits) {
  TempDir tmp;
  Touch(tmp.Dir() + "page.cfm");
  Touch(tmp.Dir() + ".hidden");
  Touch(tmp.Dir() + "locked.css");
  chmod((tmp.Dir() + "locked.css").c_str(), 0444);
  fs::create_directory(tmp.Dir() + "sub");
  mkfifo((tmp.Dir() + "fifo").c_str(), 0600);
  fs::create_symlink(tmp.Dir() + "page.cfm", tmp.Dir() + "to-file");
  fs::create_symlink(tmp.Dir() + "missing", tmp.Dir() + "dangling");
  fs::create_directory_symlink(tmp.Dir() + "sub", tmp.Dir() + "to-dir");

  auto attrs = List(tmp.Dir());
  EXPECT_EQ(attrs["page.cfm"], platform::faArchive);
  EXPECT_EQ(attrs[".hidden"], platform::faArchive | platform::faHidden);
  EXPECT_EQ(attrs["locked.css"], platform::faArchive | platform::faReadOnly);
  EXPECT_EQ(attrs["sub"], platform::faDirectory);
  EXPECT_EQ(attrs["to-file"], platform::faArchive);
  EXPECT_EQ(attrs["fifo"], 0u);
  EXPECT_EQ(attrs["dangling"], 0u);
  EXPECT_EQ(attrs["to-dir"], 0u);
  EXPECT_EQ(attrs["."] & platform::faDirectory, platform::faDirectory);
  EXPECT_TRUE(attrs.count(".."));
}

// The error text of opening path for reading; empty when it opens.
std::string OpenError(const std::string& path) {
  try {
    platform::InputFile file(path);
  } catch (const platform::IoError& e) {
    EXPECT_EQ(e.Path(), path);
    EXPECT_EQ(e.what(), path + ": " + e.Text());
    return e.Text();
  }
  return {};
}

// Pages that no site holds, as a cloned repository may: each is refused at
// the open, naming its path, without a byte read (the kernel's views would
// stream without end or block for ever).
TEST(FileSystem, InputFileRefusesWhatIsNoStoredFileNamingThePath) {
  TempDir tmp;
  mkfifo((tmp.Dir() + "fifo.js").c_str(), 0600);
  fs::create_symlink("/proc/self/pagemap", tmp.Dir() + "pagemap.js");
  fs::create_symlink("/proc/kmsg", tmp.Dir() + "kmsg.js");
  fs::create_symlink("/sys/kernel/uevent_seqnum", tmp.Dir() + "seqnum.css");
  const std::map<std::string, std::string> expected = {
      {"gone.cfm", "File not found"},
      {"fifo.js", "File access denied"},
      {"pagemap.js", "File access denied"},
      {"kmsg.js", fs::exists("/proc/kmsg") ? "File access denied" : "File not found"},
      {"seqnum.css", fs::exists("/sys/kernel/uevent_seqnum") ? "File access denied"
                                                              : "File not found"},
  };
  for (const auto& [name, text] : expected) EXPECT_EQ(OpenError(tmp.Dir() + name), text) << name;
  EXPECT_EQ(platform::IoErrorText(EACCES), "File access denied");
}

// A file that grows while it is read is read to the size it had at the open.
TEST(FileSystem, InputFileReadsToTheSizeItHadWhenOpened) {
  TempDir tmp;
  const std::string path = tmp.Write("growing.js", "0123456789");
  platform::InputFile file(path);
  std::ofstream(path, std::ios::app) << std::string(100000, 'x');
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = file.Read(buffer, sizeof buffer)) != 0;) text.append(buffer, n);
  EXPECT_EQ(text, "0123456789");
}

// A folder that cannot be listed is an error naming it; only one that is
// gone is nothing. A path past the system's limit cannot be listed even by
// root, and a text with a NUL byte names no folder at all.
TEST(DirectoryListing, FolderThatCannotBeListedIsAnErrorNamingIt) {
  TempDir tmp;
  platform::PosixDirectorySource source;
  EXPECT_EQ(source.Open(tmp.Dir() + "gone/"), nullptr);
  Touch(tmp.Dir() + "file");
  EXPECT_EQ(source.Open(tmp.Dir() + "file/"), nullptr);  // a folder replaced by a file
  const std::string tooLong = tmp.Dir() + std::string(PATH_MAX, 'd') + "/";
  const std::string withNul = tmp.Dir() + std::string("x\0/", 3);
  for (const std::string& dir : {tooLong, withNul}) {
    try {
      source.Open(dir);
      ADD_FAILURE() << "listed";
    } catch (const platform::IoError& e) {
      EXPECT_EQ(e.Path(), dir);
    }
  }
}

TEST(FileSystem, DirectoryExistsAndDelete) {
  TempDir tmp;
  EXPECT_TRUE(platform::DirectoryExists(tmp.Dir()));
  EXPECT_FALSE(platform::DirectoryExists(tmp.Dir() + "nope/"));
  Touch(tmp.Dir() + "f");
  EXPECT_FALSE(platform::DirectoryExists(tmp.Dir() + "f"));
  EXPECT_TRUE(platform::DeleteFileA(tmp.Dir() + "f"));
  EXPECT_FALSE(fs::exists(tmp.Dir() + "f"));
  EXPECT_FALSE(platform::DeleteFileA(tmp.Dir() + "f"));
}

}  // namespace

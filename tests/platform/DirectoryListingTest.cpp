#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(DirectoryListing, MissingDirectoryCannotBeOpened) {
  platform::PosixDirectorySource source;
  EXPECT_EQ(source.Open("/nonexistent-quilmere-dir/"), nullptr);
}

TEST(FileSystem, InputFileReportsUserTexts) {
  TempDir tmp;
  EXPECT_THROW(
      {
        try {
          platform::InputFile file(tmp.Dir() + "gone.cfm");
        } catch (const platform::IoError& e) {
          EXPECT_STREQ(e.what(), "File not found");
          throw;
        }
      },
      platform::IoError);
  Touch(tmp.Dir() + "a.cfm");
  platform::InputFile file(tmp.Dir() + "a.cfm");
  char buffer[8];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 1u);
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(platform::IoErrorText(EACCES), "File access denied");
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

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/DirectoryListing.h"
#include "platform/ProjectDirectory.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// What can happen to a project between the scan and the deletion. The scan
// listed site/sub/old.gif (reached through the project link "current");
// each case changes the tree, then deletes that listed file.
struct Tampering {
  const char* name;
  std::function<void(const std::string& root)> change;
  bool deleted;                 // whether the listed file may go
  const char* survivor;         // a file that must still be there, if any
};

void PrintTo(const Tampering& t, std::ostream* os) { *os << t.name; }

class ProjectDirectoryTest : public testing::TestWithParam<Tampering> {};

TEST_P(ProjectDirectoryTest, RemovesOnlyTheFileThatWasListed) {
  testsupport::TempDir tmp;
  const std::string root = tmp.Dir();
  tmp.Write("releases/r1/sub/old.gif");
  tmp.Write("releases/r2/sub/old.gif");  // the next release uses its own
  tmp.Write("victim/old.gif");
  fs::create_directory_symlink("releases/r1", root + "current");
  const std::string project = root + "current/";
  const platform::FileId projectId = platform::IdentityOf(project);
  const platform::DirEntry listed = platform::Examine(project + "sub/old.gif", "old.gif");

  GetParam().change(root);

  const platform::ProjectDirectory dir(project, projectId);
  EXPECT_EQ(dir.DeleteFile(project + "sub/", "old.gif", listed.Id, listed.Stamp),
            GetParam().deleted);
  if (GetParam().deleted) {
    EXPECT_FALSE(fs::exists(root + "releases/r1/sub/old.gif"));
  }
  if (GetParam().survivor != nullptr) {
    EXPECT_TRUE(fs::exists(root + GetParam().survivor));
  }
  EXPECT_TRUE(fs::exists(root + "victim/old.gif"));
  EXPECT_TRUE(fs::exists(root + "releases/r2/sub/old.gif"));
}

INSTANTIATE_TEST_SUITE_P(
    Tamperings, ProjectDirectoryTest,
    testing::Values(
        Tampering{"nothing", [](const std::string&) {}, true, nullptr},
        Tampering{"folder replaced by a link",
                  [](const std::string& root) {
                    fs::rename(root + "releases/r1/sub", root + "releases/r1/moved");
                    fs::create_directory_symlink("../../victim", root + "releases/r1/sub");
                  },
                  false, "releases/r1/moved/old.gif"},
        Tampering{"project link switched",
                  [](const std::string& root) {
                    fs::remove(root + "current");
                    fs::create_directory_symlink("releases/r2", root + "current");
                  },
                  false, nullptr},
        Tampering{"file replaced by another",
                  [](const std::string& root) {
                    // Saved as editors do: a new file renamed over the old.
                    const std::string path = root + "releases/r1/sub/old.gif";
                    testsupport::TempDir::WriteFile(path + ".new", "new");
                    fs::rename(path + ".new", path);
                  },
                  false, "releases/r1/sub/old.gif"},
        Tampering{"file replaced by a link to the victim",
                  [](const std::string& root) {
                    const std::string path = root + "releases/r1/sub/old.gif";
                    fs::create_symlink(root + "victim/old.gif", path + ".new");
                    fs::rename(path + ".new", path);
                  },
                  false, "releases/r1/sub/old.gif"},
        // An inode number freed by the removal may go to the new file at
        // once (ext4 does so): the stamp still tells them apart.
        Tampering{"file removed and made again",
                  [](const std::string& root) {
                    const std::string path = root + "releases/r1/sub/old.gif";
                    fs::remove(path);
                    testsupport::TempDir::WriteFile(path, "new");
                  },
                  false, "releases/r1/sub/old.gif"},
        Tampering{"file rewritten in place",
                  [](const std::string& root) {
                    std::ofstream(root + "releases/r1/sub/old.gif", std::ios::app) << "more";
                  },
                  false, "releases/r1/sub/old.gif"},
        // Same size and modification time as listed: only the change time
        // (or the birth time) tells.
        Tampering{"file rewritten with its old size and time",
                  [](const std::string& root) {
                    const std::string path = root + "releases/r1/sub/old.gif";
                    struct stat st {};
                    ASSERT_EQ(stat(path.c_str(), &st), 0);
                    std::ofstream(path, std::ios::trunc) << "y";
                    // The change time follows a coarse clock: the times are
                    // put back until it has moved on from the listed one.
                    const timespec times[2] = {st.st_atim, st.st_mtim};
                    for (struct stat now {}; stat(path.c_str(), &now) == 0 &&
                                             now.st_ctim.tv_sec == st.st_ctim.tv_sec &&
                                             now.st_ctim.tv_nsec == st.st_ctim.tv_nsec;) {
                      ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
                    }
                    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
                  },
                  false, "releases/r1/sub/old.gif"},
        Tampering{"file already gone",
                  [](const std::string& root) { fs::remove(root + "releases/r1/sub/old.gif"); },
                  false, nullptr}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (!isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(ProjectDirectory, RefusesPathsOutsideTheProjectAndUnknownIdentities) {
  testsupport::TempDir tmp;
  const std::string outside = tmp.Write("outside.gif");
  const std::string inside = tmp.Write("site/a.gif");
  const std::string site = tmp.Dir() + "site/";
  const platform::ProjectDirectory dir(site, platform::IdentityOf(site));
  ASSERT_TRUE(dir.IsOpen());
  EXPECT_FALSE(dir.DeleteFile(tmp.Dir(), "outside.gif", platform::IdentityOf(outside), {}));
  EXPECT_FALSE(dir.DeleteFile(site + "../", "outside.gif", platform::IdentityOf(outside), {}));
  EXPECT_FALSE(dir.DeleteFile(site, "a.gif", {}, {}));
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_TRUE(fs::exists(inside));
  // A project whose identity was never known opens nothing.
  EXPECT_FALSE(platform::ProjectDirectory(site, {}).IsOpen());
}

// An immutable file (which even root cannot remove) is reported as not
// deleted, and stays.
TEST(ProjectDirectory, FileTheSystemRefusesToRemoveIsNotDeleted) {
  testsupport::TempDir tmp;
  const std::string path = tmp.Write("site/locked.gif");
  const std::string site = tmp.Dir() + "site/";
  ASSERT_EQ(std::system(("chattr +i '" + path + "'").c_str()), 0);
  const platform::ProjectDirectory dir(site, platform::IdentityOf(site));
  const bool deleted = dir.DeleteFile(site, "locked.gif", platform::IdentityOf(path), {});
  std::system(("chattr -i '" + path + "'").c_str());
  EXPECT_FALSE(deleted);
  EXPECT_TRUE(fs::exists(path));
}

}  // namespace

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/DirectoryListing.h"
#include "platform/Trash.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

namespace {

std::tm FixedTime() {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 1;  // February
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 8;
  t.tm_sec = 9;
  return t;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The identity of the entry itself, as the scan lists it: a link is its own
// file.
platform::FileId EntryId(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool IsEmptyOrMissing(const std::string& folder) {
  return !fs::exists(folder) || fs::is_empty(folder);
}

// A project folder site/ in a temp folder, with the home Trash beside it
// (not made yet: the first move makes it).
struct Site {
  testsupport::TempDir tmp;
  std::string site = tmp.Dir() + "site/";
  std::string home = tmp.Dir() + "data/Trash";
  platform::Trash trash{home, getuid(), FixedTime};

  std::optional<platform::TrashedFile> Move(const std::string& relative) const {
    const platform::ProjectDirectory project(site, platform::IdentityOf(site));
    const std::string path = site + relative;
    const std::size_t cut = path.rfind('/') + 1;
    const platform::DirEntry listed = platform::Examine(path, path.substr(cut));
    return trash.MoveToTrash(project, path.substr(0, cut), path.substr(cut), listed.Id,
                             listed.Stamp);
  }
  bool Restore(const platform::TrashedFile& record) const {
    return trash.Restore(platform::ProjectDirectory(site, platform::IdentityOf(site)), record);
  }
};

TEST(TrashInfo, EncodesThePathAndWritesTheLocalDate) {
  EXPECT_EQ(platform::PercentEncodePath("/az-AZ_09.~/a b\xC3\xA9%#?+.cfm"),
            "/az-AZ_09.~/a%20b%C3%A9%25%23%3F%2B.cfm");
  EXPECT_EQ(platform::TrashInfoText("/w/a b.cfm", FixedTime()),
            "[Trash Info]\nPath=/w/a%20b.cfm\nDeletionDate=2024-02-05T07:08:09\n");
}

TEST(Trash, MovesIntoTheHomeTrashAndRestoresWithoutOverwriting) {
  Site s;
  s.tmp.Write("site/sub/a b\xC3\xA9.cfm", "page");
  const auto record = s.Move("sub/a b\xC3\xA9.cfm");
  ASSERT_TRUE(record);
  EXPECT_EQ(record->TrashedPath, s.home + "/files/a b\xC3\xA9.cfm");
  EXPECT_EQ(ReadText(record->TrashedPath), "page");
  EXPECT_FALSE(fs::exists(s.site + "sub/a b\xC3\xA9.cfm"));
  EXPECT_EQ(ReadText(record->InfoPath), "[Trash Info]\nPath=" + s.site +
                                            "sub/a%20b%C3%A9.cfm\n"
                                            "DeletionDate=2024-02-05T07:08:09\n");
  for (const std::string& folder : {s.home, s.home + "/files", s.home + "/info"}) {
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }

  // A new file of that name meanwhile is never overwritten: the trashed one
  // stays in the Trash, its info with it.
  const std::string path = s.tmp.Write("site/sub/a b\xC3\xA9.cfm", "new");
  EXPECT_FALSE(s.Restore(*record));
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_EQ(ReadText(record->TrashedPath), "page");
  EXPECT_TRUE(fs::exists(record->InfoPath));

  fs::remove(path);
  ASSERT_TRUE(s.Restore(*record));
  EXPECT_EQ(ReadText(path), "page");
  EXPECT_TRUE(IsEmptyOrMissing(s.home + "/files"));
  EXPECT_TRUE(IsEmptyOrMissing(s.home + "/info"));
}

// The desktop's own Trash reader lists what we moved: run gio in a session
// bus of its own, with the test's Trash as its home Trash.
TEST(Trash, TheDesktopsTrashListsTheMovedFile) {
  if (std::system("command -v gio >/dev/null && command -v dbus-run-session >/dev/null && "
                  "test -x /usr/libexec/gvfsd-trash") != 0) {
    GTEST_SKIP() << "gio, dbus-run-session or gvfs is not installed";
  }
  testsupport::TempDir tmp;
  const std::string site = tmp.Dir() + "site/";
  const std::string data = tmp.Dir() + "data";
  const platform::Trash trash(data + "/Trash");
  const std::string path = tmp.Write("site/old page.cfm", "x");
  ASSERT_TRUE(trash.MoveToTrash(platform::ProjectDirectory(site, platform::IdentityOf(site)),
                                site, "old page.cfm", EntryId(path), {}));
  const std::string out = tmp.Dir() + "list";
  const std::string command = "XDG_DATA_HOME='" + data +
                              "' dbus-run-session -- gio trash --list >'" + out +
                              "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_NE(ReadText(out).find("\t" + path), std::string::npos) << ReadText(out);
}

TEST(Trash, TakenNamesGetANumberBeforeTheExtension) {
  Site s;
  s.tmp.Write("site/a.cfm");
  s.tmp.Write("site/sub/a.cfm", "second");
  s.tmp.Write("site/.htaccess");
  s.tmp.Write("site/sub/.htaccess");
  s.tmp.Write("site/b.cfm");
  // An info whose file is gone still holds its name.
  testsupport::TempDir::WriteFile(s.home + "/info/b.cfm.trashinfo", "orphan");

  ASSERT_TRUE(s.Move("a.cfm"));
  const auto second = s.Move("sub/a.cfm");
  ASSERT_TRUE(second);
  EXPECT_EQ(second->TrashedPath, s.home + "/files/a.2.cfm");
  EXPECT_EQ(ReadText(second->TrashedPath), "second");
  EXPECT_TRUE(fs::exists(s.home + "/info/a.cfm.trashinfo"));
  EXPECT_TRUE(fs::exists(s.home + "/info/a.2.cfm.trashinfo"));

  ASSERT_TRUE(s.Move(".htaccess"));
  EXPECT_EQ(s.Move("sub/.htaccess").value().TrashedPath, s.home + "/files/.htaccess.2");

  EXPECT_EQ(s.Move("b.cfm").value().TrashedPath, s.home + "/files/b.2.cfm");
  EXPECT_EQ(ReadText(s.home + "/info/b.cfm.trashinfo"), "orphan");
}

TEST(Trash, MovesOnlyTheListedEntryAndNeverWhatALinkPointsTo) {
  Site s;
  const std::string victim = s.tmp.Write("victim.cfm");
  fs::create_directories(s.site);
  fs::create_symlink(victim, s.site + "link.cfm");
  const auto link = s.Move("link.cfm");
  ASSERT_TRUE(link);
  EXPECT_TRUE(fs::is_symlink(link->TrashedPath));
  EXPECT_TRUE(fs::is_regular_file(victim));

  // Replaced since the scan, as an editor saves: not the listed file.
  const std::string path = s.tmp.Write("site/old.cfm");
  const platform::FileId listed = platform::IdentityOf(path);
  testsupport::TempDir::WriteFile(path + ".new", "new");
  fs::rename(path + ".new", path);
  const platform::ProjectDirectory project(s.site, platform::IdentityOf(s.site));
  EXPECT_FALSE(s.trash.MoveToTrash(project, s.site, "old.cfm", listed, {}));
  EXPECT_EQ(ReadText(path), "new");
  EXPECT_FALSE(fs::exists(s.home + "/info/old.cfm.trashinfo"));
}

// The rename is refused (an immutable folder stops even root): the info
// written before it goes again and the file stays.
TEST(Trash, FailedRenameLeavesNoInfoBehind) {
  Site s;
  const std::string path = s.tmp.Write("site/sub/locked.cfm");
  const std::string folder = s.site + "sub";
  ASSERT_EQ(std::system(("chattr +i '" + folder + "'").c_str()), 0)
      << "the temp folder's file system takes no immutable flag";
  const auto record = s.Move("sub/locked.cfm");
  std::system(("chattr -i '" + folder + "'").c_str());
  EXPECT_FALSE(record);
  EXPECT_TRUE(fs::exists(path));
  EXPECT_TRUE(IsEmptyOrMissing(s.home + "/info"));
}

// A file on another file system than the home Trash goes to the Trash at the
// top directory of its own. The top is a tmpfs mounted in a private mount
// namespace of a child process; each case prepares the top, and names the
// Trash folder the file must land in (empty: none may take it).
struct TopCase {
  const char* name;
  std::function<void(const std::string& top)> prepare;
  std::string trash;
};

std::string Uid() { return std::to_string(getuid()); }

void PrintTo(const TopCase& c, std::ostream* os) { *os << c.name; }

class TopDirectoryTrash : public testing::TestWithParam<TopCase> {};

std::string MakeSharedTrash(const std::string& path) {
  fs::create_directory(path);
  fs::permissions(path, fs::perms::all | fs::perms::sticky_bit);
  return path;
}

// Runs in the child, the tmpfs mounted at top; returns what went wrong.
std::string MoveFromOtherFileSystem(const std::string& top, const std::string& home,
                                    const TopCase& c) {
  const std::string site = top + "/site/";
  const std::string file = testsupport::TempDir::WriteFile(site + "a.cfm", "page");
  c.prepare(top);
  const platform::Trash trash(home, getuid(), FixedTime);
  const platform::ProjectDirectory project(site, platform::IdentityOf(site));
  const auto record = trash.MoveToTrash(project, site, "a.cfm", platform::IdentityOf(file), {});
  if (fs::exists(home)) return "the home Trash was used";
  if (c.trash.empty()) return record || !fs::exists(file) ? "moved where no Trash takes it" : "";
  const std::string folder = top + "/" + c.trash;
  if (!record || record->TrashedPath != folder + "/files/a.cfm") return "not moved to " + folder;
  if (ReadText(record->TrashedPath) != "page") return "not the file in the Trash";
  // A top directory's Trash records the path from the top.
  const std::string info = ReadText(folder + "/info/a.cfm.trashinfo");
  if (info.find("\nPath=site/a.cfm\n") == std::string::npos) return "info reads " + info;
  if (!trash.Restore(project, *record) || ReadText(file) != "page") return "not restored";
  return "";
}

TEST_P(TopDirectoryTrash, UsesTheTrashOfTheFilesOwnTop) {
  testsupport::TempDir tmp;
  const std::string top = tmp.Dir() + "mnt";
  fs::create_directory(top);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The mount lives and dies with the child's own mount namespace.
    std::string result;
    if (unshare(CLONE_NEWNS) != 0) {
      result = std::string("skip: unshare(CLONE_NEWNS): ") + std::strerror(errno);
    } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
               mount("tmpfs", top.c_str(), "tmpfs", 0, "mode=0755") != 0) {
      result = std::string("mount: ") + std::strerror(errno);
    } else {
      try {
        result = MoveFromOtherFileSystem(top, tmp.Dir() + "home/Trash", GetParam());
      } catch (const std::exception& e) {
        result = e.what();
      }
    }
    _exit(write(out[1], result.data(), result.size()) == static_cast<ssize_t>(result.size()) ? 0 : 1);
  }
  close(out[1]);
  std::string result;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
    result.append(buffer, static_cast<std::size_t>(n));
  }
  close(out[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  if (result.starts_with("skip: ")) GTEST_SKIP() << result;
  EXPECT_EQ(result, "");
}

INSTANTIATE_TEST_SUITE_P(
    Trash, TopDirectoryTrash,
    testing::Values(
        TopCase{"NoSharedTrash", [](const std::string&) {}, ".Trash-" + Uid()},
        TopCase{"StickySharedTrash",
                [](const std::string& top) { MakeSharedTrash(top + "/.Trash"); },
                ".Trash/" + Uid()},
        TopCase{"SharedTrashNotSticky",
                [](const std::string& top) { fs::create_directory(top + "/.Trash"); },
                ".Trash-" + Uid()},
        TopCase{"SharedTrashIsALink",
                [](const std::string& top) {
                  fs::create_directory_symlink(MakeSharedTrash(top + "/real"), top + "/.Trash");
                },
                ".Trash-" + Uid()},
        TopCase{"OwnTrashIsAFile",
                [](const std::string& top) {
                  testsupport::TempDir::WriteFile(top + "/.Trash-" + Uid());
                },
                ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

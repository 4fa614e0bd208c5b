#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/ProcessCommand.h"
#include "analysis/Report.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One flat listing of made-up files, whatever is on disk.
class FlatSource : public platform::DirectorySource {
 public:
  explicit FlatSource(std::vector<std::string> names) : names_(std::move(names)) {}
  std::unique_ptr<platform::DirectoryListing> Open(const std::string&) override {
    return std::make_unique<Listing>(names_);
  }

 private:
  class Listing : public platform::DirectoryListing {
   public:
    explicit Listing(const std::vector<std::string>& names) : names_(names) {}
    bool Next(platform::DirEntry& entry) override {
      if (next_ == names_.size()) return false;
      entry = {names_[next_++], platform::faArchive};
      return true;
    }

   private:
    const std::vector<std::string>& names_;
    std::size_t next_ = 0;
  };
  std::vector<std::string> names_;
};

struct ReportRun {
  int code;
  std::string out, err;
};

ReportRun Report(const std::vector<std::string>& args, platform::DirectorySource& source) {
  std::ostringstream out, err;
  const int code = analysis::RunReport(args, out, err, source);
  return {code, out.str(), err.str()};
}

ReportRun Report(const std::vector<std::string>& args) {
  platform::PosixDirectorySource source;
  return Report(args, source);
}

class Site : public testing::Test {
 protected:
  void SetUp() override {
    tmp.Write("index.cfm", "<img src=\"pics/LOGO.gif\"><cf_menu>");
    tmp.Write("Menu.cfm", "");
    tmp.Write("pics/logo.gif");
    tmp.Write("pics/old.gif");
  }
  std::string Dir() const { return tmp.Dir(); }
  std::vector<std::string> Expected() const {
    return {"0\t" + Dir() + "\tMenu.cfm", "0\t" + Dir() + "\tindex.cfm",
            "0\t" + Dir() + "pics/\tlogo.gif", "1\t" + Dir() + "pics/\told.gif"};
  }
  testsupport::TempDir tmp;
};

// The entries in table order, then the count; the directory gets its
// delimiter as in the window. Listing order is the file system's, so the
// entry lines are compared sorted.
TEST_F(Site, ListsEveryEntryAndTheCount) {
  const std::string bare = Dir().substr(0, Dir().size() - 1);
  const ReportRun run = Report({bare});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back(), "4 files.");
  lines.pop_back();
  std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
    return a.substr(2) < b.substr(2);
  });
  EXPECT_EQ(lines, Expected());
}

// The built program, as a CI job would run it.
TEST_F(Site, TheProgramPrintsTheSameAndExitsZero) {
  testsupport::TempDir outDir;
  const std::string command = std::string(QUILMERE_REPORT) + " " + Dir() + " >" + outDir.Dir() +
                              "out 2>" + outDir.Dir() + "err";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream out(outDir.Dir() + "out");
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines.back(), "4 files.");

  const std::string missing = std::string(QUILMERE_REPORT) + " " + Dir() + "missing 2>" +
                              outDir.Dir() + "err";
  const int failed = std::system(missing.c_str());
  ASSERT_TRUE(WIFEXITED(failed));
  EXPECT_EQ(WEXITSTATUS(failed), 2);
  std::ifstream err(outDir.Dir() + "err");
  std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Invalid directory\n");
}

TEST(BuiltReport, VersionIsTheProjects) {
  testsupport::TempDir outDir;
  const std::string command =
      std::string(QUILMERE_REPORT) + " --version >" + outDir.Dir() + "out";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream out(outDir.Dir() + "out");
  const std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "quilmere-report " QUILMERE_VERSION "\n");
}

struct RefusedCase {
  const char* what;
  std::vector<std::string> args;  // "@" stands for the temp folder
  const char* err;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.what; }

class Refused : public testing::TestWithParam<RefusedCase> {};

TEST_P(Refused, ExitsTwoWithNothingOnStdout) {
  testsupport::TempDir tmp;
  tmp.Write("file.cfm", "");
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) {
    if (a.rfind('@', 0) == 0) a = tmp.Dir() + a.substr(1);
  }
  const ReportRun run = Report(args);
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, Refused,
    testing::Values(RefusedCase{"missing directory", {"@missing"}, "Invalid directory\n"},
                    RefusedCase{"a file, not a directory", {"@file.cfm"}, "Invalid directory\n"},
                    RefusedCase{"blank text", {"   "}, "Invalid directory\n"},
                    RefusedCase{"empty text", {""}, "Invalid directory\n"},
                    RefusedCase{"no argument", {}, "Usage: quilmere-report DIR\n"},
                    RefusedCase{"two arguments", {"@", "@"}, "Usage: quilmere-report DIR\n"}));

TEST(Report, MoreFilesThanTheTableWarnsAndGoesOn) {
  testsupport::TempDir tmp;
  std::vector<std::string> names;
  for (int i = 1; i <= 1001; ++i) names.push_back("f" + std::to_string(i) + ".gif");
  FlatSource source(names);
  const ReportRun run = Report({tmp.Dir()}, source);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "Not all files can be processed\n");
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1001u);
  EXPECT_EQ(lines[999], "1\t" + tmp.Dir() + "\tf1000.gif");
  EXPECT_EQ(lines[1000], "1001 files.");
}

TEST(Report, PageGoneBeforeItsTurnExitsOneWithTheErrorText) {
  testsupport::TempDir tmp;
  FlatSource source({"a.gif", "ghost.cfm"});
  const ReportRun run = Report({tmp.Dir()}, source);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "File not found\n");
}

// The order the window relies on: the listing text, the emptied table handed
// to the folder tree step, the scan, the warning, then the analysis.
TEST(ScanAndAnalyze, RunsTheStepsInOrderOnAFreshTable) {
  testsupport::TempDir tmp;
  auto table = std::make_unique<analysis::TFileTable>();
  table->Append("stale.gif", "/old/");
  std::vector<std::string> names;
  for (int i = 1; i <= 1001; ++i) names.push_back("f" + std::to_string(i));
  FlatSource source(names);
  std::vector<std::string> events;
  analysis::TProcessHooks hooks;
  hooks.ShowStatus = [&](const std::string& s) {
    if (events.empty() || events.back() != s.substr(0, 12)) events.push_back(s.substr(0, 12));
  };
  hooks.BeforeScan = [&] { events.push_back("tree, " + std::to_string(table->FileCount)); };
  hooks.WarnTooManyFiles = [&] { events.push_back("warning"); };
  EXPECT_EQ(analysis::ScanAndAnalyze(tmp.Dir(), *table, source, hooks), 1001);
  EXPECT_EQ(events, (std::vector<std::string>{"  Getting di", "tree, 0", "warning", "  Analyze...",
                                              "  Analyzing "}));
  EXPECT_EQ((*table)[1].Name, "f1");
}

struct DirText {
  const char* text;
  const char* withDelimiter;
};

class DirectoryText : public testing::TestWithParam<DirText> {};

TEST_P(DirectoryText, GetsExactlyOneTrailingDelimiter) {
  EXPECT_EQ(analysis::WithTrailingDelimiter(GetParam().text), GetParam().withDelimiter);
}

INSTANTIATE_TEST_SUITE_P(Texts, DirectoryText,
                         testing::Values(DirText{"/site", "/site/"}, DirText{"/site/", "/site/"},
                                         DirText{"/site ", "/site /"}, DirText{"/", "/"}));

TEST(FileCountText, HasTwoBlanksOnEachSide) {
  EXPECT_EQ(analysis::FileCountText(57), "  57 files.  ");
  EXPECT_EQ(analysis::FileCountText(1200), "  1200 files.  ");
}

}  // namespace

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/ProcessCommand.h"
#include "report/CommandLine.h"
#include "analysis/UseReason.h"
#include "platform/FileSystem.h"
#include "tests/support/AliasFlood.h"
#include "tests/support/FlatSource.h"
#include "tests/support/SortedSource.h"
#include "tests/support/TempDir.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct ReportRun {
  int code;
  std::string out, err;
};

ReportRun Report(const std::vector<std::string>& args, platform::DirectorySource& source) {
  std::ostringstream out, err;
  const int code = report::RunReport(args, out, err, source);
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
                    RefusedCase{"empty text after --", {"--", ""}, "Invalid directory\n"}));

struct UsageCase {
  const char* what;
  std::vector<std::string> args;  // "@" stands for the temp folder
  const char* message;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.what; }

class UsageRefused : public testing::TestWithParam<UsageCase> {};

// Wrong usage: the reason and the usage line on stderr, status 64, and no
// scan at all (nothing on stdout).
TEST_P(UsageRefused, ExitsSixtyFourWithTheUsageLine) {
  testsupport::TempDir tmp;
  std::vector<std::string> args = GetParam().args;
  for (std::string& a : args) {
    if (a == "@") a = tmp.Dir();
  }
  const ReportRun run = Report(args);
  EXPECT_EQ(run.code, 64);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, std::string("quilmere-report: ") + GetParam().message + "\n" +
                         report::ReportUsageLine + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, UsageRefused,
    testing::Values(
        UsageCase{"no argument", {}, "no directory given"},
        UsageCase{"options only", {"--why", "--check"}, "no directory given"},
        UsageCase{"two directories", {"@", "other"}, "one directory only, not 'other' as well"},
        UsageCase{"unknown long option", {"--frobnicate", "@"}, "unknown option '--frobnicate'"},
        UsageCase{"unknown option after DIR", {"@", "--whyy"}, "unknown option '--whyy'"},
        UsageCase{"short option", {"-w", "@"}, "unknown option '-w'"},
        UsageCase{"a prefix is not the option", {"--form=json", "@"}, "unknown option '--form=json'"},
        UsageCase{"flag with a value", {"--why=yes", "@"}, "option '--why' takes no value"},
        UsageCase{"unknown format", {"--format=xml", "@"}, "unknown format 'xml' (tsv, json, sarif or github)"},
        UsageCase{"format without value", {"@", "--format"}, "option '--format' needs a value"},
        UsageCase{"baseline without --check", {"--baseline=old.tsv", "@"},
                  "--baseline works with --check only"},
        UsageCase{"negative capacity", {"--max-files=-1", "@"},
                  "--max-files takes a whole number from 0 to 2147483647, not '-1'"},
        UsageCase{"capacity with junk", {"--max-files", "12x", "@"},
                  "--max-files takes a whole number from 0 to 2147483647, not '12x'"},
        UsageCase{"capacity too large", {"--max-files=2147483648", "@"},
                  "--max-files takes a whole number from 0 to 2147483647, not '2147483648'"},
        UsageCase{"empty capacity", {"--max-files=", "@"},
                  "--max-files takes a whole number from 0 to 2147483647, not ''"}));

struct ParseCase {
  const char* what;
  std::vector<std::string> args;
  report::TReportFormat format;
  bool why, check;
  std::int32_t capacity;
  const char* directory;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }

class Parse : public testing::TestWithParam<ParseCase> {};

TEST_P(Parse, AcceptsTheGnuForms) {
  const ParseCase& c = GetParam();
  report::TReportOptions options;
  ASSERT_EQ(report::ParseReportArguments(c.args, options), "");
  EXPECT_EQ(options.Format, c.format);
  EXPECT_EQ(options.Why, c.why);
  EXPECT_EQ(options.Check, c.check);
  EXPECT_EQ(options.Capacity, c.capacity);
  EXPECT_EQ(options.Directory, c.directory);
}

using report::TReportFormat;
INSTANTIATE_TEST_SUITE_P(
    Arguments, Parse,
    testing::Values(
        ParseCase{"defaults", {"/s"}, TReportFormat::Tsv, false, false, 1000, "/s"},
        ParseCase{"value after =", {"--format=json", "/s"}, TReportFormat::Json, false, false,
                  1000, "/s"},
        ParseCase{"value as next argument", {"--format", "json", "/s"}, TReportFormat::Json,
                  false, false, 1000, "/s"},
        ParseCase{"options after DIR", {"/s", "--why", "--check", "--max-files", "7"},
                  TReportFormat::Tsv, true, true, 7, "/s"},
        ParseCase{"last one wins", {"--format=json", "--format=tsv", "--max-files=0", "/s"},
                  TReportFormat::Tsv, false, false, 0, "/s"},
        ParseCase{"-- ends the options", {"--why", "--", "--check"}, TReportFormat::Tsv, true,
                  false, 1000, "--check"},
        ParseCase{"a lone dash is a directory", {"-"}, TReportFormat::Tsv, false, false, 1000,
                  "-"},
        ParseCase{"a value may look like an option", {"--format", "json", "--", "-d"},
                  TReportFormat::Json, false, false, 1000, "-d"}));

TEST(Report, HelpAndVersionNeedNoDirectory) {
  platform::PosixDirectorySource source;
  std::ostringstream out, err;
  report::TReportProgram program;
  program.VersionText = "quilmere-report 9.9";
  EXPECT_EQ(report::RunReport({"--version"}, out, err, source, program), 0);
  EXPECT_EQ(out.str(), "quilmere-report 9.9\n");
  out.str("");
  EXPECT_EQ(report::RunReport({"--check", "--help"}, out, err, source, program), 0);
  EXPECT_EQ(Lines(out.str()).front(), report::ReportUsageLine);
  for (const char* option : {"--format=", "sarif", "github", "--why", "--check", "--baseline=",
                             "--max-files=", "--version"}) {
    EXPECT_NE(out.str().find(option), std::string::npos) << option;
  }
  EXPECT_EQ(err.str(), "");
}

TEST(Report, MoreFilesThanTheTableWarnsAndGoesOn) {
  testsupport::TempDir tmp;
  std::vector<std::string> names;
  for (int i = 1; i <= 1001; ++i) names.push_back("f" + std::to_string(i) + ".gif");
  testsupport::FlatSource source(names);
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
  testsupport::FlatSource source({"a.gif", "ghost.cfm"});
  const ReportRun run = Report({tmp.Dir()}, source);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, tmp.Dir() + "ghost.cfm: File not found\n");
}

// The real file system, except that one folder refuses to be listed, as a
// folder without read permission does for an ordinary user.
class RefusingSource : public platform::DirectorySource {
 public:
  explicit RefusingSource(std::string refused) : refused_(std::move(refused)) {}
  std::unique_ptr<platform::DirectoryListing> Open(const std::string& dir) override {
    if (dir == refused_) throw platform::IoError(platform::IoErrorText(EACCES), dir);
    return real_.Open(dir);
  }

 private:
  std::string refused_;
  platform::PosixDirectorySource real_;
};

// Makes the folders of steps, one inside the other, below top (relative
// steps, since the whole path may be past the system's limit); the
// descriptor of the deepest.
int MakeChain(const std::string& top, const std::vector<std::string>& steps) {
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  for (const std::string& step : steps) {
    mkdirat(fd, step.c_str(), 0700);
    const int next = openat(fd, step.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  return fd;
}

// Removes what MakeChain made, with a file left in the deepest folder.
void RemoveChain(const std::string& top, const std::vector<std::string>& steps,
                 const std::string& file) {
  for (std::size_t depth = steps.size(); depth > 0; --depth) {
    const int fd = MakeChain(top, std::vector<std::string>(steps.begin(), steps.begin() + depth));
    if (depth == steps.size()) unlinkat(fd, file.c_str(), 0);
    const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
    unlinkat(parent, steps[depth - 1].c_str(), AT_REMOVEDIR);
    close(parent);
    close(fd);
  }
}

// A part of the tree that cannot be read leaves no verdict: a page there
// could name any file. The report says which path and exits 1, and writes
// nothing that a script could take for a whole report.
TEST(Report, FolderThatCannotBeListedExitsOneNamingIt) {
  testsupport::TempDir tmp;
  const std::string d = tmp.Dir();
  tmp.Write("index.cfm");
  tmp.Write("x.gif");
  tmp.Write("admin/page.cfm", "x.gif");
  RefusingSource refusing(d + "admin/");
  ReportRun run = Report({"--check", d}, refusing);
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, d + "admin/: File access denied\n");

  // A page deeper than the path limit: the folder holding it cannot be
  // listed by its path, by root either.
  const std::vector<std::string> steps(PATH_MAX / 200 + 1, std::string(199, 'd'));
  const int deepest = MakeChain(d + "admin", steps);
  ASSERT_GE(deepest, 0);
  const int page = openat(deepest, "page.cfm", O_WRONLY | O_CREAT, 0600);
  ASSERT_EQ(write(page, "x.gif", 5), 5);
  close(page);
  close(deepest);
  run = Report({"--check", d});
  RemoveChain(d + "admin", steps, "page.cfm");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err.rfind(d + "admin/" + steps[0] + "/", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(": File name too long\n"), std::string::npos) << run.err;
}

// --- tsv escaping ---------------------------------------------------------

struct EscapeCase {
  const char* what;
  std::string raw, escaped;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.what; }

class TsvField : public testing::TestWithParam<EscapeCase> {};

TEST_P(TsvField, EscapesTheFourSpecialBytesOnly) {
  EXPECT_EQ(report::EscapeTsvField(GetParam().raw), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, TsvField,
    testing::Values(EscapeCase{"tab", "a\tb", "a\\tb"}, EscapeCase{"line feed", "a\nb", "a\\nb"},
                    EscapeCase{"carriage return", "a\rb", "a\\rb"},
                    EscapeCase{"backslash", "a\\b", "a\\\\b"},
                    EscapeCase{"a backslash and t", "\\t", "\\\\t"},
                    EscapeCase{"all at the ends", "\t\\\r\n", "\\t\\\\\\r\\n"},
                    EscapeCase{"other bytes stay", std::string("caf\xE9 \x01\x7f\0.gif", 12),
                               std::string("caf\xE9 \x01\x7f\0.gif", 12)}));

#if defined(__SANITIZE_ADDRESS__)
#define QUILMERE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILMERE_UNDER_ASAN 1
#endif
#endif

// A run that memory runs out under (a limit a little above what the process
// has mapped, and a site of mapping aliases) ends with the I/O status and a
// message, never with an abort.
TEST(Report, OutOfMemoryExitsOneWithAMessage) {
#ifdef QUILMERE_UNDER_ASAN
  GTEST_SKIP() << "the address sanitizer maps more than any limit allows";
#else
  testsupport::TempDir tmp;
  testsupport::WriteAliasFlood(tmp, 10);
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(pipeFds[0]);
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (32u << 20);
    const rlimit bound{limit, limit};
    setrlimit(RLIMIT_AS, &bound);
    std::ostringstream out, err;
    platform::PosixDirectorySource source;
    const int code = report::RunReport({tmp.Dir()}, out, err, source);
    const std::string text = err.str();
    (void)!write(pipeFds[1], text.data(), text.size());
    _exit(code);
  }
  close(pipeFds[1]);
  std::string err;
  char buffer[256];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) err.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), report::ReportIoError);
  EXPECT_EQ(err.rfind("quilmere-report: ", 0), 0u) << err;
#endif
}

// What a script does with a tsv line: split on tabs, undo the escapes.
std::vector<std::string> SplitTsvLine(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\t') {
      fields.emplace_back();
    } else if (line[i] == '\\' && i + 1 < line.size()) {
      const char c = line[++i];
      fields.back() += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

ReportRun SortedReport(const std::vector<std::string>& args) {
  testsupport::SortedSource source;
  return Report(args, source);
}

// The table the report describes, scanned and analysed in the same order.
std::unique_ptr<analysis::TFileTable> SortedTable(const std::string& dir) {
  auto table = std::make_unique<analysis::TFileTable>();
  testsupport::SortedSource source;
  analysis::ScanAndAnalyze(dir, *table, source, {});
  return table;
}

TEST(Report, ScriptSplittingOnTabsGetsTheTableBack) {
  testsupport::TempDir tmp;
  tmp.Write("index.cfm", "<img src=\"tab\tname.gif\"> header.cfm\nzzz.gif");
  tmp.Write("header.cfm\nzzz.gif");
  tmp.Write("tab\tname.gif");
  tmp.Write("cr\rname.gif");
  tmp.Write("back\\slash.gif");
  tmp.Write("sub\\dir\t2\n/page.htm", "back\\slash.gif");
  const auto table = SortedTable(tmp.Dir());
  ASSERT_EQ(table->FileCount, 6);

  for (const bool why : {false, true}) {
    std::vector<std::string> args{tmp.Dir()};
    if (why) args.push_back("--why");
    const ReportRun run = SortedReport(args);
    ASSERT_EQ(run.code, 0);
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines.back(), "6 files.");
    lines.pop_back();
    for (int i = 1; i <= 6; ++i) {
      const analysis::TFileName& entry = (*table)[i];
      std::vector<std::string> expected{entry.Unused ? "1" : "0", entry.Directory, entry.Name};
      if (why) expected.push_back(analysis::UseReasonText(entry));
      EXPECT_EQ(SplitTsvLine(lines[i - 1]), expected) << lines[i - 1];
    }
  }
}

// --- --why ------------------------------------------------------------------

// Each used file has one first referrer in table (name) order: footer.cfm is
// read first and names nothing; header.cfm names logo.gif before index.cfm
// and zeta.css do; index.cfm names header.cfm after header.cfm's own turn.
TEST(Report, WhyGivesTheFirstReferrerInTableOrder) {
  testsupport::TempDir tmp;
  const std::string d = tmp.Dir();
  tmp.Write("footer.cfm", "<p>(c)</p>");
  tmp.Write("header.cfm", "<img src=\"logo.gif\">");
  tmp.Write("index.cfm", "<cfinclude template=\"header.cfm\"><cfinclude template=\"footer.cfm\">");
  tmp.Write("logo.gif");
  tmp.Write("old.gif");
  tmp.Write("zeta.css", "body { background: url(logo.gif) }");
  const ReportRun run = SortedReport({"--why", d});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                "0\t" + d + "\tfooter.cfm\tNamed in " + d + "index.cfm",
                                "0\t" + d + "\theader.cfm\tNames a file of the project",
                                "0\t" + d + "\tindex.cfm\tEntry file",
                                "0\t" + d + "\tlogo.gif\tNamed in " + d + "header.cfm",
                                "1\t" + d + "\told.gif\tNo page, include, style sheet or script names this file",
                                "0\t" + d + "\tzeta.css\tNames a file of the project",
                                "6 files."}));
}

// The committed CFML site: every file gets a reason, the unused ones that
// nothing names them.
TEST(Report, WhyHasAReasonForEveryUsedFileOfTheCfmlSite) {
  const std::string dir = std::string(QUILMERE_TEST_DATA_DIR) + "/cfml-site/";
  const ReportRun run = Report({"--why", dir});
  ASSERT_EQ(run.code, 0);
  std::vector<std::string> lines = Lines(run.out);
  lines.pop_back();
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = SplitTsvLine(line);
    ASSERT_EQ(fields.size(), 4u) << line;
    EXPECT_FALSE(fields[3].empty()) << line;
    EXPECT_EQ(fields[0] == "1", fields[3].starts_with("No page")) << line;
  }
}

// --- --max-files --------------------------------------------------------------

struct CapacityCase {
  const char* capacity;
  std::size_t entryLines;
  bool warns;
};

class Capacity : public testing::TestWithParam<CapacityCase> {};

TEST_P(Capacity, SetsTheTableSizeForTheRun) {
  testsupport::TempDir tmp;
  std::vector<std::string> names;
  for (int i = 1; i <= 1001; ++i) names.push_back("f" + std::to_string(i) + ".gif");
  testsupport::FlatSource source(names);
  const ReportRun run = Report({"--max-files=" + std::string(GetParam().capacity), tmp.Dir()},
                               source);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, GetParam().warns ? "Not all files can be processed\n" : "");
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), GetParam().entryLines + 1);
  EXPECT_EQ(lines.back(), "1001 files.");
  EXPECT_EQ(lines[GetParam().entryLines - 1],
            "1\t" + tmp.Dir() + "\tf" + std::to_string(GetParam().entryLines) + ".gif");
}

INSTANTIATE_TEST_SUITE_P(Sizes, Capacity,
                         testing::Values(CapacityCase{"0", 1001, false},
                                         CapacityCase{"1", 1, true},
                                         CapacityCase{"3", 3, true},
                                         CapacityCase{"1001", 1001, false}));

// A page past a small table still keeps what it names.
TEST(Report, PagesPastTheCapacityStillNameStoredFiles) {
  testsupport::TempDir tmp;
  const std::string d = tmp.Dir();
  tmp.Write("a.gif");
  tmp.Write("b.cfm", "<img src=\"a.gif\">");
  tmp.Write("c.gif");
  ReportRun run = SortedReport({"--max-files=1", "--why", d});
  EXPECT_EQ(run.err, "Not all files can be processed\n");
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{
                                "0\t" + d + "\ta.gif\tNamed in " + d + "b.cfm", "3 files."}));
  run = SortedReport({"--max-files=2", d});
  EXPECT_EQ(Lines(run.out), (std::vector<std::string>{"0\t" + d + "\ta.gif",
                                                      "0\t" + d + "\tb.cfm", "3 files."}));
}

// --- --check ------------------------------------------------------------------

struct CheckCase {
  const char* what;
  bool unusedFile;
  std::vector<std::string> options;
  int code;
  const char* err;
};

void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.what; }

class Check : public testing::TestWithParam<CheckCase> {};

TEST_P(Check, FailsOnlyWhenAskedAndAFileIsUnusedOrUnjudged) {
  testsupport::TempDir tmp;
  tmp.Write("index.cfm", "<img src=\"logo.gif\">");
  tmp.Write("logo.gif");
  if (GetParam().unusedFile) tmp.Write("old.gif");
  std::vector<std::string> args = GetParam().options;
  args.push_back(tmp.Dir());
  const ReportRun run = Report(args);
  EXPECT_EQ(run.code, GetParam().code);
  EXPECT_NE(run.out, "");  // the report comes first, whatever the status
  EXPECT_EQ(run.err, GetParam().err);
}

constexpr const char* TooSmall =
    "Not all files can be processed\n"
    "quilmere-report: not every file was judged: the table holds 2 of the 3 files met; "
    "--max-files=0 holds them all\n";

INSTANTIATE_TEST_SUITE_P(
    Trees, Check,
    testing::Values(CheckCase{"unused file, --check", true, {"--check"}, 3, ""},
                    CheckCase{"unused file, json", true, {"--check", "--format=json"}, 3, ""},
                    CheckCase{"unused file, sarif", true, {"--check", "--format=sarif"}, 3, ""},
                    CheckCase{"unused file, no --check", true, {}, 0, ""},
                    CheckCase{"all used, --check", false, {"--check"}, 0, ""},
                    CheckCase{"table too small, unused past it", true,
                              {"--check", "--max-files=2"}, 4, TooSmall},
                    CheckCase{"table too small, no --check", true, {"--max-files=2"}, 0,
                              "Not all files can be processed\n"},
                    CheckCase{"no limit judges every file", true, {"--check", "--max-files=0"},
                              3, ""}));

// --- writing ----------------------------------------------------------------

TEST(Report, FailedWriteIsAnErrorWithItsCause) {
  testsupport::TempDir tmp;
  tmp.Write("a.gif");
  platform::PosixDirectorySource source;
  std::ostream broken(nullptr);  // every write fails
  std::ostringstream err;
  report::TReportProgram program;
  program.OutputError = [] { return ENOSPC; };
  EXPECT_EQ(report::RunReport({"--check", tmp.Dir()}, broken, err, source, program), 1);
  EXPECT_EQ(err.str(), "quilmere-report: cannot write the report: No space left on device\n");
}

struct ProgramCase {
  const char* what;
  std::string args;  // "@" stands for the site
  int status;
  const char* errStart;
};

void PrintTo(const ProgramCase& c, std::ostream* os) { *os << c.what; }

class BuiltProgram : public testing::TestWithParam<ProgramCase> {};

// The built program as a CI job runs it: statuses and messages.
TEST_P(BuiltProgram, ExitsWithTheDocumentedStatus) {
  testsupport::TempDir site, outDir;
  site.Write("old.gif");
  std::string args = GetParam().args;
  for (std::size_t at; (at = args.find('@')) != std::string::npos;) args.replace(at, 1, site.Dir());
  const std::string command =
      std::string(QUILMERE_REPORT) + " " + args + " 2>" + outDir.Dir() + "err";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), GetParam().status);
  std::ifstream err(outDir.Dir() + "err");
  const std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.substr(0, std::string(GetParam().errStart).size()), GetParam().errStart);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, BuiltProgram,
    testing::Values(
        ProgramCase{"full disk", "@ >/dev/full", 1,
                    "quilmere-report: cannot write the report: No space left on device\n"},
        ProgramCase{"full disk, json", "--format json @ >/dev/full", 1,
                    "quilmere-report: cannot write the report: No space left on device\n"},
        ProgramCase{"version to a full disk", "--version >/dev/full", 1,
                    "quilmere-report: cannot write the report"},
        ProgramCase{"unknown option", "--frobnicate @ >/dev/null", 64,
                    "quilmere-report: unknown option '--frobnicate'\nUsage: "},
        ProgramCase{"check finds an unused file", "--check @ >/dev/null", 3, ""},
        ProgramCase{"keep list that cannot be read", "--ignore-file=@ @ >/dev/null", 1,
                    "quilmere-report: Cannot read the keep list "},
        ProgramCase{"excluded name with a slash", "--exclude-dir=a/b @", 64,
                    "quilmere-report: --exclude-dir takes a file or folder name"},
        ProgramCase{"an excluded file leaves nothing unused", "--check --exclude-dir=old.gif @", 0,
                    ""},
        ProgramCase{"help", "--help >/dev/null", 0, ""}));

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "report/Baseline.h"
#include "report/CommandLine.h"
#include "tests/support/SortedSource.h"
#include "tests/support/TempDir.h"

namespace {

struct ReportRun {
  int code;
  std::string out, err;
};

ReportRun Report(const std::vector<std::string>& args) {
  testsupport::SortedSource source;
  std::ostringstream out, err;
  const int code = report::RunReport(args, out, err, source);
  return {code, out.str(), err.str()};
}

class BaselineRoundTrip : public testing::TestWithParam<const char*> {};

// Names that every format has to escape, and a folder that is not UTF-8:
// a report of the site, taken as the baseline, excuses exactly its own
// unused files, and a file unused since is named, escaped as in tsv.
TEST_P(BaselineRoundTrip, ExcusesItsOwnUnusedFilesOnly) {
  testsupport::TempDir site, keep;
  site.Write("index.cfm", "<img src=\"used.gif\">");
  site.Write("used.gif");
  for (const char* name : {"tab\tname.gif", "lf\nname.gif", "cr\rname.gif", "back\\slash.gif",
                           "quote\"d.gif", "per%cent,co:lon.gif", "caf\xE9.gif",
                           "d\xFF\\t/x.gif"}) {
    site.Write(name);
  }
  const std::string format = GetParam();
  const ReportRun made = Report({"--format=" + format, site.Dir()});
  ASSERT_EQ(made.code, 0);
  const std::string baseline = keep.Write("baseline." + format, made.out);
  EXPECT_EQ(report::TBaseline::Read(baseline).UnusedCount(), 8u);

  const std::vector<std::string> check{"--check", "--baseline", baseline, site.Dir()};
  ReportRun run = Report(check);
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");

  site.Write("new\tone.gif");
  run = Report(check);
  EXPECT_EQ(run.code, 3);
  EXPECT_EQ(run.err, "quilmere-report: unused, not in the baseline: " + site.Dir() +
                         "new\\tone.gif\n");
}

INSTANTIATE_TEST_SUITE_P(Formats, BaselineRoundTrip, testing::Values("tsv", "json"));

struct RefusedCase {
  const char* what;
  std::string text;
  const char* error;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.what; }

class RefusedBaseline : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedBaseline, NamesWhereItIsWrong) {
  try {
    report::TBaseline::Parse(GetParam().text);
    FAIL() << "accepted";
  } catch (const report::BaselineError& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedBaseline,
    testing::Values(
        RefusedCase{"two fields", "1\t/s/\ta\n0\t/s/\n",
                    "line 2: not \"0 or 1, directory, name\" separated by tabs"},
        RefusedCase{"a SARIF log is json without entries", "{\"version\": \"2.1.0\", \"runs\": []}",
                    "no \"entries\""},
        RefusedCase{"flag not 0 or 1", "2\t/s/\ta\n", "line 1: not \"0 or 1, directory, name\" separated by tabs"},
        RefusedCase{"unknown escape", "1\t/s/\ta\\x\n",
                    "line 1: a backslash that is not \\t, \\n, \\r or \\\\"},
        RefusedCase{"text after the count", "1\t/s/\ta\n1 files.\n1\t/s/\tb\n",
                    "line 3: text after the \"N files.\" line"},
        RefusedCase{"entry without its flag", "{\"entries\": [{\"directory\": \"/s/\", \"name\": \"a\"}]}",
                    "an entry without its directory, name or unused flag"},
        RefusedCase{"bad base64", "{\"entries\": [{\"directory\": \"/s/\", \"name\": \"a\", "
                                  "\"name_bytes\": \"Y2F=6Q==\", \"unused\": true}]}",
                    "an entry without its directory, name or unused flag"},
        RefusedCase{"lone surrogate", "{\"entries\": [{\"name\": \"\\udc00\"}]}",
                    "at byte 29: a lone low surrogate"},
        RefusedCase{"cut short", "{\"entries\": [{\"name\": \"a", "at byte 24: a string is not closed"},
        RefusedCase{"trailing text", "{\"entries\": []} x", "at byte 16: more text after the document"},
        RefusedCase{"number with a leading zero", "{\"n\": 012, \"entries\": []}",
                    "at byte 9: a number with a leading zero"},
        RefusedCase{"nested too deep", "{\"x\": " + std::string(70, '['), "at byte 69: nested too deep"}));

// What a reader of the json form must take as it comes: members it does not
// know, in any order, and \u escapes (a pair for one code point).
TEST(Baseline, JsonReadsEscapesAndPassesOverUnknownMembers) {
  const report::TBaseline baseline = report::TBaseline::Parse(
      R"({"files_met": 3, "x": [1.5e-3, -0, {"a": [true, null]}], "entries": [
           {"unused": true, "reason": null, "name": "caf\u00e9 \ud83d\ude00\t.gif",
            "directory": "\/s\/"},
           {"directory": "/s/", "name": "used.gif", "unused": false},
           {"directory": "/s/", "name": "\ufffd.gif", "name_bytes": "/y5naWY=", "unused": true}
         ], "all_stored": true})");
  EXPECT_EQ(baseline.UnusedCount(), 2u);
  EXPECT_TRUE(baseline.HoldsUnused("/s/", "caf\xC3\xA9 \xF0\x9F\x98\x80\t.gif"));
  EXPECT_TRUE(baseline.HoldsUnused("/s/", "\xFF.gif"));
  EXPECT_FALSE(baseline.HoldsUnused("/s/", "used.gif"));
}

// The size is judged before anything is read: a sparse file one byte over
// the budget costs no disk and no memory.
TEST(Baseline, LargerThanItsBudgetIsRefusedUnread) {
  testsupport::TempDir tmp;
  const std::string path = tmp.Write("huge.tsv", "");
  std::filesystem::resize_file(path, report::TBaseline::MaxBytes + 1);
  const ReportRun run = Report({"--check", "--baseline=" + path, tmp.Dir()});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "quilmere-report: Cannot read the baseline " + path + ": File too large\n");
}

}  // namespace

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "analysis/FileTable.h"
#include "report/ReportWriter.h"

namespace {

struct EscapeCase {
  const char* what;
  std::string raw, data, property, uri;
};

void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.what; }

class CiEscape : public testing::TestWithParam<EscapeCase> {};

// The three spellings of one path: a workflow command's message and its
// properties, and a SARIF location.
TEST_P(CiEscape, SpellsEveryByteOneWay) {
  EXPECT_EQ(report::EscapeWorkflowData(GetParam().raw), GetParam().data);
  EXPECT_EQ(report::EscapeWorkflowProperty(GetParam().raw), GetParam().property);
  EXPECT_EQ(report::RelativePathUri(GetParam().raw), GetParam().uri);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CiEscape,
    testing::Values(
        EscapeCase{"plain", "sub/a-b_c.~1.gif", "sub/a-b_c.~1.gif", "sub/a-b_c.~1.gif",
                   "sub/a-b_c.~1.gif"},
        EscapeCase{"percent first, so escapes are not escaped twice", "100%25.gif",
                   "100%2525.gif", "100%2525.gif", "100%2525.gif"},
        EscapeCase{"line breaks", "a\r\nb", "a%0D%0Ab", "a%0D%0Ab", "a%0D%0Ab"},
        EscapeCase{"colon and comma only in properties", "a:b,c", "a:b,c", "a%3Ab%2Cc",
                   "a%3Ab%2Cc"},
        EscapeCase{"URI delimiters and blanks", "a b#c?d\t", "a b#c?d\t", "a b#c?d\t",
                   "a%20b%23c%3Fd%09"},
        EscapeCase{"bytes that are not UTF-8, and UTF-8", "caf\xE9/\xC3\xA9", "caf\xE9/\xC3\xA9",
                   "caf\xE9/\xC3\xA9", "caf%E9/%C3%A9"}));

// One annotation per unused entry, in table order; used entries and the
// count give no line.
TEST(GithubReport, AnnotatesEachUnusedFileOnce) {
  analysis::TFileTable table;
  table.Append("used.gif", "site/");
  table.Append("old,1.gif", "site/sub:x/");
  table.Append("100%.gif", "site/");
  table[1].Unused = 0;
  table[2].Unused = 1;
  table[3].Unused = 1;
  std::ostringstream out;
  report::WriteReport(out, "site/", table, 5, report::TReportFormat::Github, true);
  EXPECT_EQ(out.str(),
            "::warning file=site/sub%3Ax/old%2C1.gif,title=Unused file::"
            "Nothing in the site names site/sub:x/old,1.gif\n"
            "::warning file=site/100%25.gif,title=Unused file::"
            "Nothing in the site names site/100%25.gif\n");
}

}  // namespace

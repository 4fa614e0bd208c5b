#include <gtest/gtest.h>

#include "platform/ErrorText.h"

namespace {

struct ReportCase {
  const char* text;
  const char* shown;
};

void PrintTo(const ReportCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ErrorReportTextTest : public testing::TestWithParam<ReportCase> {};

TEST_P(ErrorReportTextTest, AppendsFullStopAfterCharactersAboveDot) {
  EXPECT_EQ(platform::ErrorReportText(GetParam().text), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ErrorReportTextTest,
    testing::Values(ReportCase{"File not found", "File not found."},
                    ReportCase{"Already ends.", "Already ends."},
                    ReportCase{"Ends in a dash -", "Ends in a dash -"},     // 0x2D < '.'
                    ReportCase{"Ends in a bang!", "Ends in a bang!"},       // 0x21 < '.'
                    ReportCase{"Ends in a blank ", "Ends in a blank "},
                    ReportCase{"Ends in a slash /", "Ends in a slash /."},  // 0x2F > '.'
                    ReportCase{"Code 42", "Code 42."},
                    ReportCase{"Really?", "Really?."},
                    ReportCase{"Fa\xc3\xa7", "Fa\xc3\xa7."},  // high bytes count unsigned
                    ReportCase{"", ""}));

}  // namespace

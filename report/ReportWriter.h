#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "analysis/FileTable.h"

// The report's writers: one table, written whole to a stream in one of the
// formats. quilmere-report and the window's "Export list..." both call
// WriteReport, so the same table gives the same bytes wherever it is written.
// The formats' layouts are drawn above their writers in ReportWriter.cpp and
// described for users in quilmere-report(1).
namespace report {

enum class TReportFormat {
  Tsv,     // one line per entry, then "N files."
  Json,    // one document with every entry
  Sarif,   // SARIF 2.1.0: one result per unused file
  Github,  // one workflow annotation per unused file
};

// Writes the table's entries (1..FileCount, in table order) to out.
//   dir:   the project directory with its trailing delimiter, as scanned
//   count: the number of files the scan met (more than the table holds when
//          it could not hold them all)
//   why:   add why each used file is kept (tsv and json; the other formats
//          list unused files only)
// Stops early once out has failed; the caller looks at out afterwards.
void WriteReport(std::ostream& out, const std::string& dir, const analysis::TFileTable& table,
                 std::int32_t count, TReportFormat format, bool why);

// A tsv field: tab, line feed, carriage return and backslash written as
// "\t", "\n", "\r" and "\\"; every other byte as it is.
std::string EscapeTsvField(std::string_view bytes);

// A text in a GitHub workflow command: '%', CR and LF as %25, %0D and %0A;
// in a property (file=..., title=...) also ':' and ',' as %3A and %2C.
std::string EscapeWorkflowData(std::string_view bytes);
std::string EscapeWorkflowProperty(std::string_view bytes);

// A path relative to the project directory as a relative URI reference:
// every byte but the unreserved ones (RFC 3986: letters, digits, "-._~")
// and '/' as %XX, so that any name, UTF-8 or not, has one exact spelling.
std::string RelativePathUri(std::string_view path);

}  // namespace report

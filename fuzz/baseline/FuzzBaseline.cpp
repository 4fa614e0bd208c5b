// Any bytes as a baseline, and any bytes as a file name.
//
// First byte even: the rest is a baseline's text (tsv or json). Reading it
// either succeeds or throws BaselineError; nothing else may escape, crash or
// read outside the text.
// First byte odd: the rest is a file's name. A table holding it, written
// as tsv and as json by the report's own writer, reads back as a baseline
// that excuses exactly that file: every name survives both formats'
// escapes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "analysis/FileTable.h"
#include "report/Baseline.h"
#include "report/ReportWriter.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void RoundTrip(const std::string& name) {
  const std::string dir = "/site/d\xE9\t\\/";
  analysis::TFileTable table(2);
  table.Append(name, dir);
  table.Append(name + "x", dir);
  table[1].Unused = 1;
  table[2].Unused = 0;
  for (const auto format : {report::TReportFormat::Tsv, report::TReportFormat::Json}) {
    std::ostringstream out;
    report::WriteReport(out, dir, table, 2, format, true);
    const report::TBaseline baseline = report::TBaseline::Parse(out.str());
    Check(baseline.UnusedCount() == 1);
    Check(baseline.HoldsUnused(dir, name));
    Check(!baseline.HoldsUnused(dir, name + "x"));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 2 == 1) {
    RoundTrip(rest);
    return 0;
  }
  try {
    const report::TBaseline baseline = report::TBaseline::Parse(rest);
    Check(baseline.UnusedCount() <= report::TBaseline::MaxEntries);
  } catch (const report::BaselineError&) {
  }
  return 0;
}

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/ProcessCommand.h"
#include "tests/support/TempDir.h"

namespace {

// A site with folders (the scan reports once per folder) and pages (the
// analysis once per file).
class ProcessRunTest : public testing::Test {
 protected:
  void SetUp() override {
    site.Write("index.cfm", "<cfinclude template=\"a/one.cfm\">");
    site.Write("a/one.cfm", "logo.gif");
    site.Write("a/logo.gif", "GIF89a");
    site.Write("b/old.gif", "GIF89a-old");
    site.Write("b/c/style.css", "body { background: url(bg.png) }");
    site.Write("b/c/bg.png", "PNG");
    other.Write("x/unused.gif", "GIF");
    other.Write("y/z/page.cfm", "nothing");
  }

  // An entry's fields that a cancelled run must give back.
  static std::string Describe(const analysis::TFileTable& table) {
    std::string text = table.ProjectDirectory + " " + std::to_string(table.FileCount) + "\n";
    for (std::int32_t i = 1; i <= table.FileCount; ++i) {
      const analysis::TFileName& e = table[i];
      text += e.Directory + e.Name + " " + std::to_string(e.Checked) +
              std::to_string(e.Unused) + " " + e.Referrer + "\n";
    }
    return text;
  }

  testsupport::TempDir site, other;
  platform::PosixDirectorySource source;
};

// Cancelled at every point where a run asks, in the scan and in the analysis:
// the table is the previous run's, the user's own checks included.
TEST_F(ProcessRunTest, CancelAtAnyPointGivesThePreviousTableBack) {
  auto table = std::make_unique<analysis::TFileTable>();
  analysis::ScanAndAnalyze(site.Dir(), *table, source, {});
  (*table)[1].Checked = static_cast<std::uint8_t>(1 - (*table)[1].Checked);  // by hand
  const std::string before = Describe(*table);

  int asked = 0;
  analysis::TProcessHooks counting;
  counting.Cancelled = [&] { return ++asked, false; };
  auto scratch = std::make_unique<analysis::TFileTable>();
  analysis::ScanAndAnalyze(other.Dir(), *scratch, source, counting);
  ASSERT_GT(asked, 4);

  bool cancelledInScan = false, cancelledInAnalysis = false;
  for (int stop = 1; stop <= asked; ++stop) {
    int calls = 0;
    analysis::TProgress last;
    analysis::TProcessHooks hooks;
    hooks.Progress = [&](const analysis::TProgress& p) { last = p; };
    hooks.Cancelled = [&] { return ++calls == stop; };
    EXPECT_THROW(analysis::ScanAndAnalyze(other.Dir(), *table, source, hooks),
                 analysis::RunCancelled)
        << "stop " << stop;
    EXPECT_EQ(Describe(*table), before) << "stop " << stop;
    (last.Phase == analysis::TProgress::TPhase::Scan ? cancelledInScan : cancelledInAnalysis) =
        true;
  }
  EXPECT_TRUE(cancelledInScan);
  EXPECT_TRUE(cancelledInAnalysis);
}

// The scan's count only grows; the analysis counts every entry once, in
// order, and adds the bytes of the files it reads.
TEST_F(ProcessRunTest, ProgressCountsFilesAndTheBytesRead) {
  std::vector<analysis::TProgress> seen;
  analysis::TProcessHooks hooks;
  hooks.Progress = [&](const analysis::TProgress& p) { seen.push_back(p); };
  auto table = std::make_unique<analysis::TFileTable>();
  analysis::ScanAndAnalyze(site.Dir(), *table, source, hooks);
  ASSERT_EQ(table->FileCount, 6);

  std::int64_t scanned = 0, analysed = 0;
  for (const analysis::TProgress& p : seen) {
    if (p.Phase == analysis::TProgress::TPhase::Scan) {
      EXPECT_EQ(analysed, 0) << "a scan report after the analysis began";
      EXPECT_GE(p.Done, scanned);
      scanned = p.Done;
    } else {
      EXPECT_EQ(p.Done, ++analysed);
      EXPECT_EQ(p.Total, 6);
    }
  }
  EXPECT_EQ(analysed, 6);
  // index.cfm, one.cfm and style.css are read.
  const std::uint64_t readBytes = std::string("<cfinclude template=\"a/one.cfm\">").size() +
                                  std::string("logo.gif").size() +
                                  std::string("body { background: url(bg.png) }").size();
  EXPECT_EQ(seen.back().Bytes, readBytes);
}

struct TypedCase {
  const char* typed;
  const char* meant;
};

void PrintTo(const TypedCase& c, std::ostream* os) { *os << '[' << c.typed << ']'; }

class TypedDirectoryTest : public testing::TestWithParam<TypedCase> {};

TEST_P(TypedDirectoryTest, MeansWhatPeopleTypeAndPaste) {
  EXPECT_EQ(analysis::TypedDirectory(GetParam().typed, "/home/me"), GetParam().meant);
}

TEST(TypedDirectory, HomeWithItsDelimiterGivesOneDelimiter) {
  EXPECT_EQ(analysis::TypedDirectory("~/site", "/home/me/"), "/home/me/site");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TypedDirectoryTest,
    testing::Values(TypedCase{"~", "/home/me"}, TypedCase{"~/site", "/home/me/site"},
                    TypedCase{"\"~/my site\"", "/home/me/my site"},
                    TypedCase{"  '/srv/www'\n", "/srv/www"},
                    TypedCase{"\"/srv/www'", "\"/srv/www'"},  // quotes that do not pair
                    TypedCase{"~other/site", "~other/site"}, TypedCase{"/a/~/b", "/a/~/b"},
                    TypedCase{"\"", "\""}, TypedCase{"/site ", "/site "}));

}  // namespace

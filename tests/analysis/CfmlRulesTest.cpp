#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "analysis/CfmlRules.h"
#include "analysis/ProcessCommand.h"
#include "analysis/ReferenceAnalysis.h"
#include "tests/support/AliasFlood.h"
#include "tests/support/CfmlSite.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorLevels.h"

using analysis::TFileTable;

namespace {

TEST(CfmlRules, FixtureSiteGivesTheExpectedVerdictsInTheCoreAndTheReport) {
  const testsupport::Verdicts expected = testsupport::ExpectedCfmlVerdicts();
  ASSERT_EQ(expected.size(), 61u);
  const std::string root = testsupport::CfmlSiteDir();
  platform::PosixDirectorySource source;
  auto table = std::make_unique<TFileTable>();
  analysis::ScanAndAnalyze(root, *table, source, {});
  EXPECT_EQ(testsupport::VerdictsOf(*table, root), expected);
  for (int i = 1; i <= table->FileCount; ++i) {
    const auto& e = (*table)[i];
    EXPECT_EQ(e.Reason == analysis::TUseRule::NotNamed, e.Unused == 1) << e.Name;
  }

  // quilmere-report: "U<TAB>DIR<TAB>NAME" lines, then the count.
  FILE* pipe = popen((std::string(QUILMERE_REPORT) + " '" + root + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0);
  testsupport::Verdicts reported;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
    if (tab == std::string::npos) continue;
    reported[(line.substr(tab + 1, second - tab - 1) + line.substr(second + 1)).substr(root.size())] =
        line[0] - '0';
  }
  EXPECT_EQ(reported, expected);
}

// Small sites around the edges of the rules that compute names: what each
// look must refuse, and what it reaches beyond the fixture's one case.
struct SiteCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files;  // path, text
  std::set<std::string> unused;
};

void PrintTo(const SiteCase& c, std::ostream* os) { *os << c.what; }

class ComputedNames : public testing::TestWithParam<SiteCase> {};

TEST_P(ComputedNames, KeepExactlyWhatTheRulesName) {
  testsupport::TempDir tmp;
  for (const auto& [path, text] : GetParam().files) tmp.Write(path, text);
  platform::PosixDirectorySource source;
  auto table = std::make_unique<TFileTable>();
  analysis::ScanAndAnalyze(tmp.Dir(), *table, source, {});
  std::set<std::string> unused;
  for (const auto& [path, verdict] : testsupport::VerdictsOf(*table, tmp.Dir())) {
    if (verdict == 1) unused.insert(path);
  }
  EXPECT_EQ(unused, GetParam().unused);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, ComputedNames,
    testing::Values(
        SiteCase{"a folder literal keeps files at any depth below",
                 {{"index.cfm", "<cfset d = \"../a/b/\">"}, {"x/a/b/c/d.txt", ""}, {"a/e.txt", ""}},
                 {"a/e.txt"}},
        SiteCase{"an expression or an empty segment is no folder literal",
                 {{"index.cfm", "<cfset d = \"#r#/a/b/\"><cfset e = \"//a/b/\">"}, {"a/b/c.txt", ""}},
                 {"a/b/c.txt"}},
        SiteCase{"specifiers count in scripts only, new reads included",
                 {{"index.cfm", "<cfset x = require(\"./util\")>"},
                  {"app.ts", "import a from '../lib/chart'"},
                  {"lib/util.js", ""}, {"lib/chart.ts", ""}},
                 {"app.ts", "lib/util.js"}},
        SiteCase{"a plugin's own files never list it",
                 {{"ed/plugins/p1/plugin.js", "add('p1')"}, {"ed/plugins/p1/lang/en.js", "set('p1')"}},
                 {"ed/plugins/p1/plugin.js", "ed/plugins/p1/lang/en.js"}},
        SiteCase{"a suffix follows an expression or a join and ends a CFML name",
                 {{"index.cfm",
                   "<cfset a = \"x.Service@m\"><cfset b = \"#p#Report.txt\"><cfset c = x & 'Audit.cfc'>"},
                  {"m/AService.cfc", ""}, {"m/UserReport.cfm", ""}, {"m/LogAudit.cfc", ""}},
                 {"m/AService.cfc", "m/UserReport.cfm"}},
        SiteCase{"a prefix or suffix look reaches across the reader's blocks",
                 {{"a.cfm", std::string(65535, ' ') + "#Service\""},
                  {"b.cfm", std::string(65534, ' ') + "&  'Audit.cfc'"},
                  {"c.cfm", std::string(65530, ' ') + "\"Admin#x#"},
                  {"m/XService.cfc", ""}, {"m/YAudit.cfc", ""}, {"m/AdminPage.cfm", ""},
                  {"m/Other.cfc", ""}},
                 {"a.cfm", "b.cfm", "c.cfm", "m/Other.cfc"}},
        SiteCase{"style sources name files as style sheets do",
                 {{"index.cfm", ""}, {"s/site.scss", "a { background: url(../img/bg.png) }"},
                  {"img/bg.png", ""}},
                 {}}));

// A site gives the same verdicts wherever it lies: below a folder whose name
// its texts compute paths under, or reached through "..".
TEST(CfmlRules, WhereTheProjectLiesChangesNoVerdict) {
  testsupport::TempDir tmp;
  for (const std::string dir : {"plain/site/", "widgets/site/"}) {
    tmp.Write(dir + "index.cfm", "<cfinclude template=\"widgets/#w#.cfm\"><cfset p = \"../#x#\">");
    tmp.Write(dir + "pages/old.cfm", "<p>");
  }
  std::vector<testsupport::Verdicts> verdicts;
  for (const std::string dir : {"plain/site/", "widgets/site/", "widgets/site/../site/"}) {
    const std::string root = tmp.Dir() + dir;
    platform::PosixDirectorySource source;
    auto table = std::make_unique<TFileTable>();
    analysis::ScanAndAnalyze(root, *table, source, {});
    verdicts.push_back(testsupport::VerdictsOf(*table, root));
  }
  EXPECT_EQ(verdicts[0], (testsupport::Verdicts{{"index.cfm", 0}, {"pages/old.cfm", 1}}));
  EXPECT_EQ(verdicts[1], verdicts[0]);
  EXPECT_EQ(verdicts[2], verdicts[0]);
}

// Whatever the tree and its texts, the CFML rules keep every file that the
// plain rule keeps, over random trees built from the rules' own vocabulary.
TEST(CfmlRules, NeverUnmarkWhatThePlainRuleKeeps) {
  const std::vector<std::string> stems = {"a", "ab", "index", "Application", "dsp_home",
                                          "dsp_x", "User", "messages", "messages_de", "it",
                                          "plugin", "_ab", "xUser"};
  const std::vector<std::string> extensions = {".cfm", ".cfc", ".cfml", ".html", ".inc",
                                               ".lucee", ".xml", ".properties", ".gif", ".jar",
                                               ".js", ".scss", ".json", ".yml", ".vue", ""};
  const std::vector<std::string> dirs = {"", "views/", "model/x/", "tests/unit/", "lib/java/",
                                         "plugins/ab/"};
  const std::vector<std::string> fragments = {
      "#", "&", "\"", "'", ".", "/", "\\", " ", "=", "<", ":", "*", ";", "\n", "(",
      "prefix=\"ui\"", "prefix=\"\"", "this.mappings[\"/v\"] = \"views\";", "ormenabled",
      "loadPaths", "persistent=\"true\"", "remote ", "describe(", "it(", "extends=",
      "BaseSpec", "cf_", "views/#", "tests.unit\"", "lib/java", "\"model/x/\"", "$ref: ",
      "\"$ref\": \"", "@import \"", "// ", "/*", "require(\"./", "from '../", ",ab]",
      "#User\"", "& \"User.cfm\""};
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) {
      return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    auto name = [&] { return stems[pick(stems.size())] + extensions[pick(extensions.size())]; };
    testsupport::TempDir tmp;
    TFileTable* tables[2] = {new TFileTable, new TFileTable};
    const std::unique_ptr<TFileTable> plain(tables[0]), cfml(tables[1]);
    std::set<std::string> paths;
    const std::size_t count = 1 + pick(30);
    while (paths.size() < count) {
      const std::string dir = dirs[pick(dirs.size())];
      const std::string file = name();
      if (!paths.insert(dir + file).second) continue;
      std::string text;
      for (std::size_t k = pick(40); k > 0; --k) {
        text += pick(3) == 0 ? stems[pick(stems.size())] : fragments[pick(fragments.size())];
      }
      tmp.Write(dir + file, text);
      for (TFileTable* t : tables) t->Append(file, tmp.Dir() + dir);
    }
    analysis::AnalyzeReferences(*plain, "cfm", nullptr, nullptr, {}, analysis::TRuleSet::Plain);
    const auto before = std::make_unique<TFileTable>(*cfml);
    analysis::AnalyzeReferences(*cfml, "cfm", nullptr, nullptr, {}, analysis::TRuleSet::Cfml);
    for (int i = 1; i <= cfml->FileCount; ++i) {
      const auto& e = (*cfml)[i];
      EXPECT_EQ(e.Checked, e.Unused) << e.Name;
      if ((*plain)[i].Unused == 0) {
        EXPECT_EQ(e.Unused, 0) << e.Directory << e.Name;
      }
    }
    // Every path of the matcher gives the same marks, reasons and referrers.
    for (const auto level : testsupport::VectorLevels()) {
      SCOPED_TRACE(testsupport::LevelName(level));
      testsupport::VectorLevelScope scope(level);
      auto table = std::make_unique<TFileTable>(*before);
      analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr, {}, analysis::TRuleSet::Cfml);
      for (int i = 1; i <= table->FileCount; ++i) {
        EXPECT_EQ((*table)[i].Unused, (*cfml)[i].Unused) << (*table)[i].Name;
        EXPECT_EQ((*table)[i].Reason, (*cfml)[i].Reason) << (*table)[i].Name;
        EXPECT_EQ((*table)[i].Referrer, (*cfml)[i].Referrer) << (*table)[i].Name;
      }
    }
  }
}

// Application files of nothing but mappings give the rules no more aliases
// than their budget allows, per file and in all.
TEST(CfmlRules, MappingAliasesStayWithinTheirBudget) {
  testsupport::TempDir tmp;
  testsupport::WriteAliasFlood(tmp, 10);
  auto table = std::make_unique<TFileTable>();
  for (int f = 0; f < 10; ++f) {
    table->Append("Application.cfc", tmp.Dir() + "d" + std::to_string(f) + "/");
  }
  for (const int files : {1, 10}) {
    std::vector<std::string> patterns;
    std::vector<bool> positional;
    const analysis::TCfmlRules rules(*table, files, patterns, positional);
    EXPECT_EQ(rules.AliasCount(), files == 1 ? analysis::TCfmlRules::MaxAliasesPerFile
                                             : analysis::TCfmlRules::MaxAliases);
  }
}

// Texts built to make a careless rule quadratic: megabytes of "#" and quotes
// (every byte a trigger), ten thousand prefix= declarations, stems of one
// letter (a match at nearly every byte). Each run ends with the right marks.
TEST(CfmlRules, HostileTextsStayLinear) {
  testsupport::TempDir tmp;
  std::string triggers;
  while (triggers.size() < (4u << 20)) triggers += "\"dsp_x#'a/#\"b.*\"&'../#sp_xy'\"x/a/\"";
  std::string prefixes;
  for (int i = 0; i < 10000; ++i) prefixes += "<cfimport prefix=\"p" + std::to_string(i) + "\">";
  prefixes += "<p9999:t>";
  std::string letters(4u << 20, 'a');
  letters += " b ";
  // A stem of 40 dotted segments, every "." an opener: each "#" looks back
  // over all of it.
  std::string dotted;
  for (int i = 0; i < 40; ++i) dotted += "abcd.";
  dotted += "abcd";
  std::string hashes;
  while (hashes.size() < (4u << 20)) hashes += "\"" + dotted + "#";
  tmp.Write("triggers.cfm", triggers);
  tmp.Write("prefixes.cfm", prefixes);
  tmp.Write("letters.cfm", letters);
  tmp.Write("hashes.cfm", hashes);
  tmp.Write(dotted + ".cfm");
  tmp.Write("a.cfc");
  tmp.Write("b.cfc");
  tmp.Write("t.cfm");
  tmp.Write("dsp_xy.cfm");
  auto table = std::make_unique<TFileTable>();
  for (const std::string& n : {std::string("triggers.cfm"), std::string("prefixes.cfm"),
                               std::string("letters.cfm"), std::string("hashes.cfm"),
                               std::string("a.cfc"), std::string("b.cfc"), std::string("t.cfm"),
                               std::string("dsp_xy.cfm"), dotted + ".cfm"}) {
    table->Append(n, tmp.Dir());
  }
  analysis::AnalyzeReferences(*table, "cfm", nullptr, nullptr);
  std::map<std::string, int> unused;
  for (int i = 1; i <= table->FileCount; ++i) unused[(*table)[i].Name] = (*table)[i].Unused;
  EXPECT_EQ(unused.at("b.cfc"), 0);       // the token b, once, in letters.cfm
  EXPECT_EQ(unused.at("t.cfm"), 0);       // <p9999:t> after its prefix= declaration
  EXPECT_EQ(unused.at("dsp_xy.cfm"), 0);  // "dsp_x#
  EXPECT_EQ(unused.at(dotted + ".cfm"), 0);  // its whole stem as a literal prefix
}

}  // namespace

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "analysis/DirectReferenceAnalysis.h"
#include "analysis/ReferenceAnalysis.h"
#include "tests/support/LeaseHolder.h"
#include "tests/support/TempDir.h"
#include "tests/support/VectorLevels.h"

using analysis::TFileTable;

namespace {

// One project: its files in table order (path relative to the project
// directory, text; a null text means the entry exists in the table only).
struct Project {
  std::vector<std::pair<std::string, const char*>> files;
  std::set<std::string> unused;  // the paths expected to stay unused
};

struct Tree {
  testsupport::TempDir tmp;
  std::unique_ptr<TFileTable> table = std::make_unique<TFileTable>();

  void Add(const std::string& relative, const std::string* text) {
    if (text) tmp.Write(relative, *text);
    const std::size_t slash = relative.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : relative.substr(0, slash + 1);
    table->Append(relative.substr(dir.size()), tmp.Dir() + dir);
  }
  std::set<std::string> Unused() const {
    std::set<std::string> out;
    for (int i = 1; i <= table->FileCount; ++i) {
      const auto& e = (*table)[i];
      EXPECT_EQ(e.Checked, e.Unused) << e.Name;
      if (e.Unused) out.insert((e.Directory + e.Name).substr(tmp.Dir().size()));
    }
    return out;
  }
};

// The plain name rule alone, as the direct analysis states it.
void AnalyzePlain(TFileTable& table, const std::string& ext) {
  analysis::AnalyzeReferences(table, ext, nullptr, nullptr, {}, analysis::TRuleSet::Plain);
}

struct Case {
  const char* what;
  Project project;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.what; }

class AnalysisCases : public testing::TestWithParam<Case> {};

TEST_P(AnalysisCases, MarksExactlyTheReferencedFiles) {
  Tree tree;
  for (const auto& [path, text] : GetParam().project.files) {
    const std::string content = text ? text : "";
    tree.Add(path, text ? &content : nullptr);
  }
  AnalyzePlain(*tree.table, "cfm");
  EXPECT_EQ(tree.Unused(), GetParam().project.unused);
}

std::string Straddling() {
  // "target.gif" from byte 65531 on: the first block ends inside the name.
  return std::string(65531, 'x') + "target.gif" + std::string(10, 'x');
}
const std::string kStraddling = Straddling();
const std::string kAfterNuls = std::string("\0\0\0NUL.GIF\0", 11);

INSTANTIATE_TEST_SUITE_P(
    Projects, AnalysisCases,
    testing::Values(
        Case{"index page and an unreferenced picture",
             {{{"index.cfm", ""}, {"a.gif", "GIF"}}, {"a.gif"}}},
        Case{"entry files in subdirectories, any case",
             {{{"x/Application.cfm", ""}, {"x/y/INDEX.HTM", ""}, {"z/OnRequestEnd.CFM", ""},
               {"index.html", ""}, {"other.cfm", ""}},
              {"other.cfm"}}},
        Case{"a page naming itself is used",
             {{{"self.cfm", "see SELF.CFM"}, {"lonely.cfm", "nothing"}}, {"lonely.cfm"}}},
        Case{"tag names in any case",
             {{{"page.cfm", "<cf_hEaDeR>"}, {"Header.cfm", ""}, {"Footer.cfm", ""}},
              {"Footer.cfm"}}},
        Case{"a name inside a longer name",
             {{{"page.cfm", "<a href=data.cfm>"}, {"a.cfm", ""}}, {}}},
        Case{"an .html file marked before its turn is not read",
             {{{"index.cfm", "old.html"}, {"old.html", "pic1.gif"}, {"late.html", "pic2.gif"},
               {"pic1.gif", nullptr}, {"pic2.gif", nullptr}},
              {"pic1.gif"}}},
        Case{"an .html file marked after its turn was read",
             {{{"old.html", "pic1.gif"}, {"index.cfm", "old.html"}, {"pic1.gif", nullptr}}, {}}},
        Case{"an .htm file is read although marked",
             {{{"index.cfm", "x.htm"}, {"x.htm", "pic.gif"}, {"pic.gif", nullptr}}, {}}},
        Case{"index.html is never read, index.htm is",
             {{{"index.html", "only.gif"}, {"index.htm", "seen.gif"}, {"only.gif", nullptr},
               {"seen.gif", nullptr}},
              {"only.gif"}}},
        Case{"names without a dot and other extensions are not read",
             {{{"README", "a.gif"}, {"menu.inc.bak", "a.gif"}, {"page.cfml", "a.gif"},
               {"a.gif", nullptr}},
              {"README", "menu.inc.bak", "page.cfml", "a.gif"}}},
        Case{"every read extension, in any case",
             {{{"p.CFM", "1.gif"}, {"i.Inc", "2.gif"}, {"s.css", "3.gif"}, {"j.JS", "4.gif"},
               {"h.Htm", "5.gif"}, {"1.gif", nullptr}, {"2.gif", nullptr}, {"3.gif", nullptr},
               {"4.gif", nullptr}, {"5.gif", nullptr}, {"6.gif", nullptr}},
              {"6.gif"}}},
        Case{"a name across the 64 KiB boundary",
             {{{"big.cfm", kStraddling.c_str()}, {"target.gif", nullptr}}, {}}}));

TEST(Analysis, NulBytesAreOrdinaryText) {
  Tree tree;
  tree.Add("nul.js", &kAfterNuls);
  tree.Add("nul.gif", nullptr);
  AnalyzePlain(*tree.table, "cfm");
  EXPECT_EQ(tree.Unused(), std::set<std::string>{});
}

TEST(Analysis, ReadOnlyPageIsRead) {
  Tree tree;
  const std::string text = "logo.png";
  tree.Add("locked.cfm", &text);
  tree.Add("logo.png", nullptr);
  ASSERT_EQ(chmod((tree.tmp.Dir() + "locked.cfm").c_str(), 0444), 0);
  AnalyzePlain(*tree.table, "cfm");
  EXPECT_EQ(tree.Unused(), std::set<std::string>{});
}

TEST(Analysis, ReportsEveryEntryAndHandlesMessagesAfterEach) {
  Tree tree;
  tree.Add("index.cfm", nullptr);
  tree.Add("sub/a.gif", nullptr);
  tree.tmp.Write("index.cfm", "");
  std::vector<std::string> seen;
  // (A file that takes long to read pumps more often: one line for those.)
  analysis::AnalyzeReferences(
      *tree.table, "cfm", [&](const std::string& s) { seen.push_back(s); },
      [&] { if (seen.back() != "pump") seen.push_back("pump"); });
  const std::string dir = tree.tmp.Dir();
  EXPECT_EQ(seen, (std::vector<std::string>{"  Analyze...", "  Analyzing " + dir + "index.cfm",
                                            "pump", "  Analyzing " + dir + "sub/a.gif", "pump"}));
}

// A page whose open blocks (another process holds a lease on it) keeps the
// messages handled while the run waits for it; once it can be opened the
// run goes on and reads it.
TEST(Analysis, MessagesAreHandledWhileAPageCannotBeOpened) {
  Tree tree;
  tree.tmp.Write("page.cfm", "<img src=\"b.gif\">");
  tree.Add("page.cfm", nullptr);
  tree.Add("b.gif", nullptr);
  testsupport::LeaseHolder lease(tree.tmp.Dir() + "page.cfm");
  ASSERT_TRUE(lease.Held());
  // Two pumps come with the entries; the rest only while the open waits.
  constexpr int WhileBlocked = 6;
  int pumps = 0;
  analysis::AnalyzeReferences(*tree.table, "cfm", nullptr, [&] {
    if (++pumps == 2 + WhileBlocked) lease.Release();
  });
  EXPECT_GE(pumps, 2 + WhileBlocked);
  EXPECT_EQ((*tree.table)[2].Unused, 0);
}

TEST(Analysis, EmptyTableOnlyAnnouncesTheAnalysis) {
  auto table = std::make_unique<TFileTable>();
  std::vector<std::string> seen;
  analysis::AnalyzeReferences(*table, "cfm", [&](const std::string& s) { seen.push_back(s); },
                              [&] { seen.push_back("pump"); });
  EXPECT_EQ(seen, std::vector<std::string>{"  Analyze..."});
}

// A page that vanished after the scan ends the analysis with its error text;
// what was marked before stays marked, and the entries from there on keep the
// flags they had, although a later page would have marked them.
TEST(Analysis, VanishedPageEndsTheAnalysisWithFileNotFound) {
  Tree tree;
  const std::string index = "late.gif", self = "after.cfm";
  tree.Add("index.cfm", &index);
  tree.Add("gone.cfm", nullptr);
  tree.Add("late.gif", nullptr);
  tree.Add("after.cfm", &self);
  try {
    AnalyzePlain(*tree.table, "cfm");
    FAIL() << "no error";
  } catch (const platform::IoError& e) {
    EXPECT_EQ(e.what(), tree.tmp.Dir() + "gone.cfm: File not found");
  }
  EXPECT_EQ(tree.Unused(), (std::set<std::string>{"gone.cfm", "after.cfm"}));
}

// The application files' heads are read one after another through one
// reader, each whole, whatever the others hold.
TEST(Analysis, MappingsComeFromEveryApplicationFile) {
  Tree tree;
  const std::string a = "this.mappings[\"/va\"] = \"viewsa\";";
  const std::string c = "this.mappings[\"/vc\"] = \"viewsc\";";
  const std::string page = "<cfinclude template=\"/va/#x#.cfm\"><cfinclude template=\"/vc/#x#.cfm\">";
  const std::string empty, none = "component {}";
  tree.Add("a/Application.cfc", &a);
  tree.Add("b/Application.cfc", &none);
  tree.Add("c/Application.cfc", &c);
  tree.Add("index.cfm", &page);
  for (const char* path : {"viewsa/one.cfm", "viewsc/two.cfm", "other/three.cfm"}) {
    tree.Add(path, &empty);
  }
  analysis::AnalyzeReferences(*tree.table, "cfm", nullptr, nullptr, {}, analysis::TRuleSet::Cfml);
  EXPECT_EQ(tree.Unused(), (std::set<std::string>{"other/three.cfm"}));
}

// An application file whose open blocks keeps the messages handled while
// the rules wait for its head, which they read before any page; its
// mappings count once it opens.
TEST(Analysis, MessagesAreHandledWhileAnApplicationFileCannotBeOpened) {
  Tree tree;
  const std::string settings = "this.mappings[\"/va\"] = \"viewsa\";";
  const std::string page = "<cfinclude template=\"/va/#x#.cfm\">", empty;
  tree.Add("Application.cfc", &settings);
  tree.Add("index.cfm", &page);
  tree.Add("viewsa/one.cfm", &empty);
  tree.Add("other/two.cfm", &empty);
  testsupport::LeaseHolder lease(tree.tmp.Dir() + "Application.cfc");
  ASSERT_TRUE(lease.Held());
  constexpr int WhileBlocked = 6;
  int pumps = 0;
  analysis::AnalyzeReferences(*tree.table, "cfm", nullptr, [&] {
    if (++pumps == WhileBlocked) lease.Release();
  });
  EXPECT_GE(pumps, WhileBlocked);
  EXPECT_EQ(tree.Unused(), (std::set<std::string>{"other/two.cfm"}));
}

// A reason names the first place in the text that gives one, on every
// path, though the automaton walks a large text as several stretches at
// once: in this page of 8192 bytes the template's name ends late in the
// first stretch and its folder's path early in the next.
TEST(Analysis, AReasonNamesTheFirstPlaceThatGivesOne) {
  std::string page = std::string(990, ' ') + "\nx = \"helper\";\n";
  page += std::string(1030 - page.size(), ' ') + "\ny = \"views/#z#\";\n";
  page += std::string(8192 - page.size(), ' ');
  const std::string empty;
  for (const auto level : testsupport::VectorLevels()) {
    SCOPED_TRACE(testsupport::LevelName(level));
    testsupport::VectorLevelScope scope(level, false);
    Tree tree;
    tree.Add("index.cfm", &page);
    tree.Add("views/helper.cfm", &empty);
    analysis::AnalyzeReferences(*tree.table, "cfm", nullptr, nullptr, {}, analysis::TRuleSet::Cfml);
    EXPECT_EQ((*tree.table)[2].Reason, analysis::TUseRule::Template);
    EXPECT_EQ((*tree.table)[2].ReasonLine, 2);
  }
}

// A page swapped for a FIFO after the scan: refused at once as "File access
// denied" (an open for reading would wait for a writer forever).
TEST(Analysis, PageThatIsNoRegularFileEndsTheAnalysisWithFileAccessDenied) {
  Tree tree;
  const std::string text = "x";
  tree.Add("secret.css", &text);
  const std::string path = tree.tmp.Dir() + "secret.css";
  ASSERT_EQ(unlink(path.c_str()), 0);
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_THROW(
      {
        try {
          AnalyzePlain(*tree.table, "cfm");
        } catch (const platform::IoError& e) {
          EXPECT_EQ(e.what(), path + ": File access denied");
          throw;
        }
      },
      platform::IoError);
}

// Whole analyses against the direct one over random projects: names that are
// parts of each other, duplicates in other folders, entry files, .html files
// before and after the pages that name them, texts larger than a block.
TEST(Analysis, AgreesWithTheDirectAnalysisOnRandomProjects) {
  const std::vector<std::string> stems = {"a", "ab", "b", "index", "application", "Header",
                                          "x.y", "onrequestend"};
  const std::vector<std::string> extensions = {".cfm", ".CFM", ".html", ".HTML", ".htm",
                                               ".inc", ".css", ".js", ".gif", "",
                                               ".inc.bak", ".txt"};
  const std::vector<std::string> dirs = {"", "s/", "s/t/", "u/"};
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    auto randomName = [&] { return stems[pick(stems.size())] + extensions[pick(extensions.size())]; };
    auto randomText = [&] {
      std::string text;
      // Every tenth project has large texts only, which the vector path
      // matches on the reader's thread rather than this one.
      const std::size_t length = pick(6) == 0 || seed % 10 == 0 ? 60000 + pick(80000) : pick(300);
      while (text.size() < length) {
        switch (pick(6)) {
          case 0: text += randomName(); break;
          case 1: text += (pick(2) ? "cf_" : "CF_") + stems[pick(stems.size())]; break;
          case 2: text += std::string(1, '\0'); break;
          default: text += std::string(1 + pick(pick(10) == 0 ? 5000 : 12), "qm. _<>"[pick(7)]);
        }
      }
      if (pick(2) == 0) {
        for (char& c : text) {
          if (c >= 'A' && c <= 'Z' && pick(2) == 0) c += 'a' - 'A';
        }
      }
      return text;
    };

    Tree fast, slow;
    std::set<std::string> paths;
    const std::size_t count = 1 + pick(40);
    while (paths.size() < count) {
      const std::string path = dirs[pick(dirs.size())] + randomName();
      if (!paths.insert(path).second) continue;
      const std::string text = randomText();
      fast.Add(path, &text);
      slow.Add(path, &text);
    }
    const std::string ext = std::vector<std::string>{"cfm", "cfm", "CFM", "inc"}[pick(4)];
    analysis::direct::AnalyzeReferences(*slow.table, ext);
    // Every path of the matcher gives the direct analysis's marks.
    for (const auto level : testsupport::VectorLevels()) {
      SCOPED_TRACE(testsupport::LevelName(level));
      testsupport::VectorLevelScope scope(level);
      auto table = std::make_unique<TFileTable>(*fast.table);
      AnalyzePlain(*table, ext);
      for (int i = 1; i <= table->FileCount; ++i) {
        EXPECT_EQ((*table)[i].Unused, (*slow.table)[i].Unused) << (*table)[i].Name;
        EXPECT_EQ((*table)[i].Checked, (*slow.table)[i].Checked) << (*table)[i].Name;
      }
    }
  }
}

}  // namespace

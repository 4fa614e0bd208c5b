// The layering of the program's code, read from its #include lines.
//
// Each top folder is one layer and may include only the layers below it:
//   app -> results, banner, report, analysis, gif, platform
//   report -> analysis, platform     results -> analysis, platform
//   banner -> gif, platform          analysis -> match, platform
//   gif -> platform                  match -> platform
// Other layers see the multi-name search (match/) through its one public
// header, match/NameMatcher.h, never its filters and tables.
// Qt (its headers, and every header under a qt/ folder) belongs to app/ and
// to the qt/ subfolders alone, so the Qt-free code of every folder stays at
// its root and builds without Qt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"app", {"app", "results", "banner", "report", "analysis", "gif", "platform"}},
    {"report", {"report", "analysis", "platform"}},
    {"results", {"results", "analysis", "platform"}},
    {"banner", {"banner", "gif", "platform"}},
    {"analysis", {"analysis", "match", "platform"}},
    {"match", {"match", "platform"}},
    {"gif", {"gif", "platform"}},
    {"platform", {"platform"}},
};

// Layers whose headers other layers may include only some of: these.
const std::map<std::string, std::set<std::string>> kPublicHeaders = {
    {"match", {"match/NameMatcher.h"}},
};

bool InQtPart(const std::string& path) {
  return path.starts_with("app/") || path.find("/qt/") != std::string::npos;
}

// An #include line: its opening '<' or '"' and the header it names.
bool ParseInclude(const std::string& line, char& open, std::string& target) {
  std::size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos || line[i] != '#') return false;
  i = line.find_first_not_of(" \t", i + 1);
  if (i == std::string::npos || line.compare(i, 7, "include") != 0) return false;
  i = line.find_first_not_of(" \t", i + 7);
  if (i == std::string::npos || (line[i] != '<' && line[i] != '"')) return false;
  open = line[i];
  const std::size_t close = line.find(open == '<' ? '>' : '"', i + 1);
  if (close == std::string::npos) return false;
  target = line.substr(i + 1, close - i - 1);
  return true;
}

// The layering faults of one file (path relative to the source root, e.g.
// "banner/AdProtocol.h"), one line each.
std::vector<std::string> Violations(const std::string& path, const std::string& text) {
  std::vector<std::string> faults;
  const std::string layer = path.substr(0, path.find('/'));
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    char open = 0;
    std::string target;
    if (!ParseInclude(line, open, target)) continue;
    const bool qtHeader = open == '<' && (target.starts_with("Q") || target.starts_with("qt"));
    const bool qtOfOurs = open == '"' && target.find("/qt/") != std::string::npos;
    if ((qtHeader || qtOfOurs) && !InQtPart(path)) {
      faults.push_back(path + ": Qt outside app/ and qt/: " + target);
    }
    if (open != '"') continue;
    const std::string to = target.substr(0, target.find('/'));
    if (kMayInclude.count(to) != 0 && kMayInclude.at(layer).count(to) == 0) {
      faults.push_back(path + ": " + layer + " may not include " + target);
    } else if (to != layer && kPublicHeaders.count(to) != 0 &&
               kPublicHeaders.at(to).count(target) == 0) {
      faults.push_back(path + ": " + target + " is inside " + to + "/");
    }
  }
  return faults;
}

TEST(Layering, TheRulesCatchWrongWayIncludesAndStrayQt) {
  struct Case {
    const char* path;
    const char* text;
    std::size_t faults;
  };
  const Case cases[] = {
      {"banner/AdProtocol.h", "#include \"app/Config.h\"\n", 1},
      {"analysis/Scan.cpp", "#include \"results/Deletion.h\"\n#include <QString>\n", 2},
      {"gif/GifUnit.cpp", "  #  include \"platform/qt/MessagePump.h\"\n", 1},
      {"platform/Thread.cpp", "#include <thread>\n#include \"platform/Thread.h\"\n", 0},
      {"results/qt/Grid.cpp", "#include <QTableWidget>\n#include \"analysis/FileTable.h\"\n", 0},
      {"app/Main.cpp", "#include \"banner/qt/AdImage.h\"\n#include <QWidget>\n", 0},
      {"platform/qt/X.cpp", "#include \"analysis/FileTable.h\"\n", 1},
      {"analysis/ProcessCommand.cpp", "#include \"report/ReportWriter.h\"\n", 1},
      {"report/ReportWriter.cpp", "#include \"analysis/FileTable.h\"\n#include <QFile>\n", 1},
      {"results/Deletion.cpp", "#include \"report/ReportWriter.h\"\n", 1},
      {"analysis/Rules.h", "#include \"match/NameMatcher.h\"\n", 0},
      {"analysis/Run.cpp", "#include \"match/EndSearch.h\"\n", 1},
      {"match/EndSearch.cpp", "#include \"match/EndKeys.h\"\n", 0},
      {"match/NameMatcher.cpp", "#include \"analysis/FileTable.h\"\n", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Violations(c.path, c.text).size(), c.faults) << c.path;
  }
}

TEST(Layering, TheProgramsCodeKeepsItsLayers) {
  const fs::path root = QUILMERE_SOURCE_DIR;
  std::vector<std::string> faults;
  std::size_t files = 0;
  for (const auto& [layer, allowed] : kMayInclude) {
    for (const auto& entry : fs::recursive_directory_iterator(root / layer)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      const std::string path = fs::relative(entry.path(), root).generic_string();
      for (std::string& fault : Violations(path, text.str())) faults.push_back(std::move(fault));
      ++files;
    }
  }
  EXPECT_GT(files, 50u);
  std::string report;
  for (const std::string& fault : faults) report += fault + "\n";
  EXPECT_TRUE(faults.empty()) << report;
}

}  // namespace

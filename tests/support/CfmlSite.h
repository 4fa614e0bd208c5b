#pragma once
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "analysis/FileTable.h"

// The committed CFML fixture site (tests/data/cfml-site): one case for each
// way an engine loads a file, and one file beside each that must stay
// unused; tests/data/cfml-site.expected holds its verdicts.
namespace testsupport {

inline std::string TestData() {
  const char* root = std::getenv("QUILMERE_TEST_DATA");
  return root ? root : QUILMERE_TEST_DATA_DIR;
}

inline std::string CfmlSiteDir() { return TestData() + "/cfml-site/"; }

// Relative path -> 1 (unused) or 0.
using Verdicts = std::map<std::string, int>;

inline Verdicts ExpectedCfmlVerdicts() {
  Verdicts verdicts;
  std::ifstream in(TestData() + "/cfml-site.expected");
  int unused = 0;
  for (std::string path; in >> unused >> path;) verdicts[path] = unused;
  return verdicts;
}

inline Verdicts VerdictsOf(const analysis::TFileTable& table, const std::string& root) {
  Verdicts verdicts;
  for (int i = 1; i <= table.FileCount; ++i) {
    const std::string path = table[i].Directory + table[i].Name;
    verdicts[path.substr(root.size())] = table[i].Unused;
  }
  return verdicts;
}

}  // namespace testsupport

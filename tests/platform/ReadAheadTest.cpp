#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ReadAhead.h"
#include "tests/support/TempDir.h"

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Announcing files, missing ones and folders among them, with the reader
// going on in steps or jumping to the last file, and stopping halfway or
// before the first file, leaves every file as it was.
TEST(ReadAhead, AnnouncesInOrderAndLeavesTheFilesAlone) {
  testsupport::TempDir tmp;
  std::vector<std::string> paths;
  for (int k = 0; k < 30; ++k) {
    paths.push_back(tmp.Write("f" + std::to_string(k) + ".txt", std::string(static_cast<std::size_t>(1000 + k), static_cast<char>('a' + k % 26))));
  }
  paths.insert(paths.begin() + 5, tmp.Dir() + "missing.txt");
  paths.insert(paths.begin() + 9, tmp.Dir());
  {
    platform::TReadAhead ahead(paths);
    for (std::size_t k = 0; k < paths.size(); k += 2) ahead.Reached(k);
  }
  {
    platform::TReadAhead stopped(paths);
    stopped.Reached(3);
  }
  {
    platform::TReadAhead jumping(paths);
    jumping.Reached(0);
    jumping.Reached(paths.size() - 1);
  }
  { platform::TReadAhead unused(paths); }
  { platform::TReadAhead single({paths[0]}); single.Reached(0); }
  for (std::size_t k = 0; k < paths.size(); ++k) {
    if (k == 5 || k == 9) continue;
    const std::size_t n = k < 5 ? k : k < 9 ? k - 1 : k - 2;
    EXPECT_EQ(Contents(paths[k]), std::string(1000 + n, static_cast<char>('a' + n % 26)));
  }
}

}  // namespace

// The matcher's level setting as the built report program meets it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/TempDir.h"

namespace {

// The built program reads the variable once and says so once.
TEST(BuiltReport, NotesAnUnknownVectorLevelOnce) {
  testsupport::TempDir site, outDir;
  site.Write("index.cfm", "<a href=\"a.gif\">");
  site.Write("a.gif");
  const std::string command = "QUILMERE_VECTOR_LEVEL=fastest " + std::string(QUILMERE_REPORT) +
                              " " + site.Dir() + " >/dev/null 2>" + outDir.Dir() + "err";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream err(outDir.Dir() + "err");
  const std::string text((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "quilmere: QUILMERE_VECTOR_LEVEL=fastest: unknown level (scalar, avx2 or avx512); "
            "ignored\n");
}

}  // namespace

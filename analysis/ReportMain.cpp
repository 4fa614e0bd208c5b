// quilmere-report DIR: see analysis/Report.h.
#include <iostream>
#include <string_view>

#include "analysis/Report.h"

int main(int argc, char** argv) {
  // QUILMERE_VERSION is the project's version, handed in by the build.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "quilmere-report " QUILMERE_VERSION "\n" << std::flush;
    return std::cout ? 0 : 1;
  }
  platform::PosixDirectorySource source;
  return analysis::RunReport(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                             std::cerr, source);
}

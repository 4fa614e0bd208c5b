// quilmere-report DIR: see analysis/Report.h.
#include <iostream>

#include "analysis/Report.h"

int main(int argc, char** argv) {
  platform::PosixDirectorySource source;
  return analysis::RunReport(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                             std::cerr, source);
}

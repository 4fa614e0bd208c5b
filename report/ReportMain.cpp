// quilmere-report [OPTION]... DIR: see report/CommandLine.h.
#include <iostream>

#include "report/CommandLine.h"
#include "platform/StandardOutput.h"

int main(int argc, char** argv) {
  // Standard output through a buffer of our own, so that a full disk or a
  // closed pipe is reported with its cause and exit status 1.
  platform::StandardOutput stdoutBuffer;
  std::ostream out(&stdoutBuffer);
  platform::PosixDirectorySource source;
  report::TReportProgram program;
  // QUILMERE_VERSION is the project's version, handed in by the build.
  program.VersionText = "quilmere-report " QUILMERE_VERSION;
  program.OutputError = [&stdoutBuffer] { return stdoutBuffer.Error(); };
  return report::RunReport(std::vector<std::string>(argv + 1, argv + argc), out, std::cerr,
                             source, program);
}

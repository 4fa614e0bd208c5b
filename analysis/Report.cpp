#include "analysis/Report.h"

#include <memory>

#include "analysis/ProcessCommand.h"
#include "platform/AsciiText.h"
#include "platform/FileSystem.h"

namespace analysis {

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              platform::DirectorySource& source) {
  if (args.size() != 1) {
    err << "Usage: quilmere-report DIR\n";
    return 2;
  }
  // Unlike the window, which ignores a blank directory box, a blank argument
  // is reported: "/" appended to it could otherwise name the root.
  if (platform::IsBlankText(args[0])) {
    err << InvalidDirectoryText << '\n';
    return 2;
  }
  const std::string dir = WithTrailingDelimiter(args[0]);
  if (!platform::DirectoryExists(dir)) {
    err << InvalidDirectoryText << '\n';
    return 2;
  }

  // The file table is large; the report keeps its own off the stack.
  auto table = std::make_unique<TFileTable>();
  TProcessHooks hooks;
  hooks.WarnTooManyFiles = [&err] { err << TooManyFilesText << '\n' << std::flush; };
  std::int32_t count = 0;
  try {
    count = ScanAndAnalyze(dir, *table, source, hooks);
  } catch (const platform::IoError& e) {
    err << e.what() << '\n';
    return 1;
  }

  std::string text;
  for (std::int32_t i = 1; i <= table->FileCount; ++i) {
    const TFileName& entry = (*table)[i];
    text += entry.Unused ? '1' : '0';
    text += '\t';
    text += entry.Directory;
    text += '\t';
    text += entry.Name;
    text += '\n';
  }
  text += std::to_string(count) + " files.\n";
  out << text << std::flush;
  return 0;
}

}  // namespace analysis

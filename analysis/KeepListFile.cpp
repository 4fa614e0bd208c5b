#include "analysis/KeepListFile.h"

#include <algorithm>

#include "analysis/KeepList.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace analysis {

int AppendToKeepList(const std::string& listPath, const std::vector<std::string>& relativePaths) {
  std::string text;
  try {
    text = platform::ReadSmallFile(listPath, KeepListMaxBytes).value_or(std::string());
  } catch (const platform::IoError& e) {
    throw KeepListError("Cannot read the keep list " + listPath + ": " + e.what());
  }
  // A last line without its line feed gets one, so that it stays a line.
  if (!text.empty() && text.back() != '\n') text += '\n';
  const int first = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
  for (const std::string& path : relativePaths) text += KeepLineFor(path) + '\n';
  const auto lines = static_cast<std::size_t>(first - 1 + static_cast<int>(relativePaths.size()));
  if (text.size() > KeepListMaxBytes || lines > KeepListMaxLines) {
    throw KeepListError("The keep list " + listPath + " would grow past " +
                        std::to_string(KeepListMaxLines) + " lines or 1 MiB");
  }
  try {
    platform::ReplaceFile(listPath, text);
  } catch (const platform::IoError& e) {
    throw KeepListError("Cannot write the keep list " + listPath + ": " + e.what());
  }
  return first;
}

}  // namespace analysis

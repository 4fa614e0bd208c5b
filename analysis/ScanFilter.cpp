#include "analysis/ScanFilter.h"

#include <algorithm>

#include "platform/AsciiText.h"
#include "platform/Attributes.h"

namespace analysis {

std::vector<std::string> SplitExcludeDirs(std::string_view text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view name = text.substr(start, end - start);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    if (!name.empty()) names.emplace_back(name);
    start = end + 1;
  }
  return names;
}

TScanFilter::TScanFilter(std::string projectDir, std::vector<std::string> excludedNames,
                         TKeepList keepList)
    : projectDir_(std::move(projectDir)),
      excludedNames_(std::move(excludedNames)),
      keepList_(std::move(keepList)) {}

std::string TScanFilter::Relative(const std::string& dir, const std::string& name) const {
  if (dir.compare(0, projectDir_.size(), projectDir_) != 0) return {};
  return dir.substr(projectDir_.size()) + name;
}

bool TScanFilter::Excluded(const platform::DirEntry& entry) const {
  return std::find(excludedNames_.begin(), excludedNames_.end(), entry.Name) !=
         excludedNames_.end();
}

bool TScanFilter::KeptFolder(const std::string& dir, const platform::DirEntry& entry,
                             TWalk walk) const {
  const bool folder = (entry.Attr & platform::faDirectory) != 0 || entry.DirectoryLink;
  if (!folder || keepList_.Empty() || walk == TWalk::Reading) return false;
  const std::string relative = Relative(dir, entry.Name);
  return !relative.empty() && keepList_.Match(relative, true) != 0;
}

bool TScanFilter::Skips(const std::string& dir, const platform::DirEntry& entry,
                        TWalk walk) const {
  if (Excluded(entry)) return true;
  if (!KeptFolder(dir, entry, walk)) return false;
  keptFolderMet_ = true;
  return true;
}

bool TScanFilter::LeavesOut(const std::string& dir, const platform::DirEntry& entry,
                            TWalk walk) const {
  return Excluded(entry) || KeptFolder(dir, entry, walk);
}

int TScanFilter::KeepLine(const std::string& dir, const std::string& name) const {
  if (keepList_.Empty()) return 0;
  const std::string relative = Relative(dir, name);
  return relative.empty() ? 0 : keepList_.Match(relative, false);
}

}  // namespace analysis

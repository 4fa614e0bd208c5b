#include "analysis/ProcessCommand.h"

#include "analysis/DirectoryScan.h"
#include "analysis/UnlistedPages.h"

namespace analysis {

std::string WithTrailingDelimiter(const std::string& text) {
  if (!text.empty() && text.back() == platform::PathDelimiter) return text;
  return text + platform::PathDelimiter;
}

std::string FileCountText(std::int32_t count) {
  return "  " + std::to_string(count) + " files.  ";
}

std::int32_t ScanAndAnalyze(const std::string& dir, TFileTable& table,
                            platform::DirectorySource& source, const TProcessHooks& hooks) {
  if (hooks.ShowStatus) hooks.ShowStatus(GettingListingText);
  table.Reset(dir, platform::IdentityOf(dir));
  if (hooks.BeforeScan) hooks.BeforeScan();
  bool linkedDirectoryMet = false;
  const std::int32_t count =
      ScanDirectory(dir, table, source, hooks.ProcessMessages, &linkedDirectoryMet);
  const bool overflow = count > table.Capacity();
  if (overflow && hooks.WarnTooManyFiles) hooks.WarnTooManyFiles();
  // Pages that the table could not list still name files that it did.
  std::vector<std::string> unlisted;
  if (overflow || linkedDirectoryMet) {
    unlisted = CollectUnlistedPages(dir, table, PageExtension, source, hooks.ProcessMessages);
  }
  AnalyzeReferences(table, PageExtension, hooks.ShowStatus, hooks.ProcessMessages, unlisted);
  return count;
}

}  // namespace analysis

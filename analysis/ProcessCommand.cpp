#include "analysis/ProcessCommand.h"

#include "analysis/DirectoryScan.h"

namespace analysis {

bool IsBlankDirectoryText(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

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
  table.Reset();
  if (hooks.BeforeScan) hooks.BeforeScan();
  const std::int32_t count = ScanDirectory(dir, table, source, hooks.ProcessMessages);
  if (count > MaxFiles && hooks.WarnTooManyFiles) hooks.WarnTooManyFiles();
  AnalyzeReferences(table, PageExtension, hooks.ShowStatus, hooks.ProcessMessages);
  return count;
}

}  // namespace analysis

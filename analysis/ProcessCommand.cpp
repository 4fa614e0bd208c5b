#include "analysis/ProcessCommand.h"

#include "analysis/DirectoryScan.h"
#include "analysis/UnlistedPages.h"
#include "platform/AsciiText.h"

#include <optional>

namespace analysis {

std::string WithTrailingDelimiter(const std::string& text) {
  if (!text.empty() && text.back() == platform::PathDelimiter) return text;
  return text + platform::PathDelimiter;
}

std::string TypedDirectory(const std::string& text, const std::string& home) {
  std::string dir = text;
  const std::string trimmed = platform::TrimBlanks(text);
  if (trimmed.size() >= 2 && (trimmed.front() == '"' || trimmed.front() == '\'') &&
      trimmed.back() == trimmed.front()) {
    dir = trimmed.substr(1, trimmed.size() - 2);
  }
  if (dir == "~") return home;
  if (dir.size() >= 2 && dir[0] == '~' && dir[1] == platform::PathDelimiter) {
    std::string expanded = home;
    while (!expanded.empty() && expanded.back() == platform::PathDelimiter) expanded.pop_back();
    return expanded + dir.substr(1);
  }
  return dir;
}

std::string FileCountText(std::int32_t count) {
  return "  " + std::to_string(count) + " files.  ";
}

std::string KeepListPathFor(const std::string& dir, const TScanOptions& options) {
  return options.KeepListPath.empty() ? dir + KeepListName : options.KeepListPath;
}

void MarkKept(TFileTable& table, std::int32_t i, const std::string& listName, int line) {
  table.MarkUsed(i);
  TFileName& entry = table[i];
  entry.Reason = TUseRule::KeptByList;
  entry.Referrer = listName;
  entry.ReasonLine = line;
}

namespace {

// The last component of a path.
std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind(platform::PathDelimiter);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What the keep list asks for, after the analysis: its lines override the
// verdicts, and the list itself is part of the site's upkeep.
void ApplyKeepList(TFileTable& table, const TScanFilter& filter, const std::string& listPath) {
  const std::string listName = BaseName(listPath);
  for (std::int32_t i = 1; i <= table.FileCount; ++i) {
    TFileName& entry = table[i];
    if (entry.Directory.size() + entry.Name.size() == listPath.size() &&
        entry.Directory + entry.Name == listPath) {
      table.MarkUsed(i);
      entry.Reason = TUseRule::KeepListFile;
      entry.Referrer.clear();
      continue;
    }
    if (const int line = filter.KeepLine(entry.Directory, entry.Name); line != 0) {
      MarkKept(table, i, listName, line);
    }
  }
}

}  // namespace

std::int32_t ScanAndAnalyze(const std::string& dir, TFileTable& table,
                            platform::DirectorySource& source, const TProcessHooks& hooks,
                            const TScanOptions& options) {
  // Read before anything changes: a run that ignored what the user asked to
  // keep could offer those files for deletion.
  const std::string listPath = KeepListPathFor(dir, options);
  const TScanFilter filter(dir, options.ExcludedNames, TKeepList::Load(listPath));
  // What a cancelled run gives back; only a run that can be cancelled pays
  // for the copy.
  std::optional<TFileTable> previous;
  if (hooks.Cancelled) previous = table;
  const platform::MessagePump pump = [&hooks] {
    if (hooks.ProcessMessages) hooks.ProcessMessages();
    if (hooks.Cancelled && hooks.Cancelled()) throw RunCancelled();
  };
  // During the scan the pump runs once per subdirectory, and no further
  // directory is opened once the table is full: the entries listed are the
  // files met at every report.
  const platform::MessagePump scanPump = [&] {
    if (hooks.Progress) hooks.Progress({TProgress::TPhase::Scan, table.FileCount, 0, 0});
    pump();
  };
  if (hooks.ShowStatus) hooks.ShowStatus(GettingListingText);
  table.Reset(dir, platform::IdentityOf(dir));
  try {
    if (hooks.BeforeScan) hooks.BeforeScan();
    bool linkedDirectoryMet = false;
    const std::int32_t count =
        ScanDirectory(dir, table, source, scanPump, &linkedDirectoryMet, filter);
    const bool overflow = count > table.Capacity();
    if (overflow && hooks.WarnTooManyFiles) hooks.WarnTooManyFiles();
    // Pages that the table could not list still name files that it did.
    TUnlistedPages unlisted;
    if (overflow || linkedDirectoryMet || filter.KeptFolderMet()) {
      unlisted = CollectUnlistedPages(dir, table, PageExtension, source, pump, filter,
                                      options.OutsideLinks);
    }
    AnalyzeReferences(table, PageExtension, hooks.ShowStatus, pump, unlisted.Pages,
                      TRuleSet::Cfml, hooks.Progress);
    ApplyKeepList(table, filter, listPath);
    if (unlisted.OutsideCut) {
      // The verdicts stay for the user to see; only what Delete would take goes.
      for (std::int32_t i = 1; i <= table.FileCount; ++i) table[i].Checked = 0;
      if (hooks.WarnOutsideCut) hooks.WarnOutsideCut();
    }
    return count;
  } catch (const RunCancelled&) {
    table = std::move(*previous);
    throw;
  }
}

}  // namespace analysis

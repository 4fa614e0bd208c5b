#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "analysis/KeepList.h"
#include "platform/DirectoryListing.h"

// What the scan and every other walk of the project tree leave out, and which
// listed files the project's keep list holds. Qt-free; one per run, read by
// the window thread only.
//
// Version-control data is never part of a site: a repository's own files
// would otherwise be found "unused" and offered for deletion. Entries whose
// name is one of the excluded names (folders such as ".git", ".svn" or
// "CVS", and the ".git" file that points a submodule or worktree elsewhere)
// are not listed, not counted, not opened and not read. A folder that the
// keep list holds is not listed or counted either, but its pages are still
// read for what they name (like pages behind links): a kept admin folder
// must not leave the include files it needs checked for deletion. A file
// the keep list holds is listed and found used.
namespace analysis {

// The excluded names when the settings name none.
inline constexpr const char* DefaultExcludeDirs = ".git;.svn;.hg;.bzr;CVS;_darcs";

// The names of a settings text: separated by ";", each trimmed of blanks,
// empty ones dropped. An empty text excludes nothing.
std::vector<std::string> SplitExcludeDirs(std::string_view text);

// Which walk asks: the scan that lists files, or the walk that reads the
// pages the table does not list.
enum class TWalk { Listing, Reading };

class TScanFilter {
 public:
  // Leaves nothing out and keeps nothing.
  TScanFilter() = default;
  // projectDir ends in the path delimiter; keepList may be empty.
  TScanFilter(std::string projectDir, std::vector<std::string> excludedNames,
              TKeepList keepList);

  // True when the entry met in dir (which ends in the path delimiter) is left
  // out of walk.
  bool Skips(const std::string& dir, const platform::DirEntry& entry, TWalk walk) const;
  // The same, without noting a kept folder met: for a helper thread that
  // only looks ahead.
  bool LeavesOut(const std::string& dir, const platform::DirEntry& entry, TWalk walk) const;

  // True once a listing has left out a folder that the keep list holds.
  bool KeptFolderMet() const { return keptFolderMet_; }

  // The keep list's line that holds the file name in dir; 0 for none.
  int KeepLine(const std::string& dir, const std::string& name) const;

 private:
  // The path of name in dir relative to the project directory; empty when
  // dir lies outside it.
  std::string Relative(const std::string& dir, const std::string& name) const;
  bool Excluded(const platform::DirEntry& entry) const;
  bool KeptFolder(const std::string& dir, const platform::DirEntry& entry, TWalk walk) const;

  std::string projectDir_;
  std::vector<std::string> excludedNames_;
  TKeepList keepList_;
  mutable bool keptFolderMet_ = false;
};

}  // namespace analysis

#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "analysis/TextWindow.h"

// Folders named whole by a path literal: a string whose entire content is a
// path of two segments or more ending in "/", such as a migration runner's
// "/app/migrator/migrations/" or ExpandPath("docs/reference/") & slug. Code
// that holds such a literal lists or reads the folder, so every file at any
// depth below a folder whose last two segments are the literal's last two
// is used.
//
//   "  [/ | ./ | ../]  seg / seg / ... / A / B /  "      seg: A-Z a-z 0-9 _ . @ -
//
// One segment ("img/") says too little to keep a folder by, and "#" or ":"
// make the literal an expression or a URL. The matcher looks for "A/B/" of
// every pair of folders in the project; the look checks the closing quote
// after it and walks back, within MaxLiteral bytes, to the opening one.
//
// Built by TCfmlRules from the table; read on the analysis thread.
namespace analysis {

class TFolderLiterals {
 public:
  static constexpr std::int64_t MaxLiteral = 256;

  // Entry sits in the folders given (upper-cased, below the project
  // directory, outermost first).
  void Add(std::int32_t entry, const std::vector<std::string>& folders);
  // "A/B/" for every pair of a folder A and its subfolder B, with the group
  // of the files below it.
  std::vector<TRuleLiteral> Literals();
  // A literal of this rule ends at end (its text spans [start, end)).
  static TLook Look(const TTextWindow& text, std::int64_t start, std::int64_t end);
  const std::vector<std::int32_t>& Entries(std::uint32_t group) const { return groups_[group]; }

 private:
  std::map<std::string, std::vector<std::int32_t>> below_;  // "A/B/" -> files at any depth
  // The folders of the entry added last and their lists in below_: the
  // entries of one folder mostly come one after another.
  std::vector<std::string> lastFolders_;
  std::vector<std::vector<std::int32_t>*> lastLists_;
  std::vector<std::vector<std::int32_t>> groups_;
};

}  // namespace analysis

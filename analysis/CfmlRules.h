#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "analysis/FileTable.h"
#include "match/NameMatcher.h"

// The ways a CFML engine, a web server and the tools around them load files
// that no page names by file name, as rules that mark more entries used.
//
// The plain name rule (a file is used when a read text names it) misses most
// of what a modern CFML site loads: components by dotted path, templates by
// name without extension, tag libraries by prefix, views by computed paths
// below a folder, components the engine registers itself. These rules only
// ever add marks: whatever the name rule keeps stays kept. A file's mention
// of its own name never counts for them.
//
// They ride on the analysis's single pass over each read text: their
// literals go into the same name matcher (positional, so that each place is
// checked against the bytes around it), including "D/#", "D.*" and the
// like for every folder D. Names computed with a literal prefix or suffix
// of a CFML stem ("P#", "#S", "P" & and & "S") are looked for at each "#"
// and "&" instead, found in one pass over each block: the first or last bytes of
// thousands of stems end some word every few dozen bytes, "#" far less
// often. The aliases of this.mappings are read from the application's own
// files before the pass, so that their paths are literals too. A literal
// prefix applied whole is looked up no more, so a prefix met at every line
// costs little after its first use. What needs every file (declared tag-library
// prefixes, ORM and Java load-path switches) is decided in Finish. Every
// check looks at a bounded number of bytes, so a run stays linear in the
// bytes read and the names matched, whatever the text holds.
//
// Owned by one analysis run on its thread; the table must not change while
// it lives (the run marks it only through Finish).
namespace analysis {

class TCfmlRules : public match::TMatchSink {
 public:
  // Bytes of each text kept before the current block, for looks back and
  // for checks that wait for bytes of the next block.
  static constexpr std::size_t History = 4096;

  // Reads the first limit bytes of the file at path (nothing when it cannot
  // be read); what it throws otherwise leaves the constructor.
  using HeadReader = std::function<std::string(const std::string& path, std::size_t limit)>;

  // Builds the rules over entries 1..count of table and appends their
  // literals to patterns (ids from patterns.size() on), with positional
  // flags to match. The application files' heads are read with readHead
  // (on the calling thread when null).
  TCfmlRules(TFileTable& table, std::int32_t count, std::vector<std::string>& patterns,
             std::vector<bool>& positional, const HeadReader& readHead = nullptr);
  ~TCfmlRules() override;

  // The application files among entries 1..count of table, whose heads the
  // constructor reads (in this order, as long as their budget lasts).
  static std::vector<std::string> SettingsFiles(const TFileTable& table, std::int32_t count);

  // The budget of the aliases of this.mappings, read before the pass: each
  // alias costs the matcher eight literals, so files of nothing but
  // mappings could otherwise grow a run by gigabytes. A real application
  // declares a few dozen; the aliases past a bound are not read. (An
  // alias's name and folder are bounded on their own by the statement's
  // bounds in CfmlRules.cpp.)
  static constexpr std::size_t MaxAliasesPerFile = 4096;
  static constexpr std::size_t MaxAliases = 16384;           // of all application files
  static constexpr std::size_t MaxAliasBytes = 1 << 20;      // their names and folders
  static constexpr std::size_t MaxSettingsBytes = 16u << 20; // read of all application files
  // The aliases these rules read.
  std::size_t AliasCount() const;

  // True for the upper-cased extensions whose files these rules also read.
  static bool IsReadExtension(const std::string& upperExt);
  // True for those of them (.json, .yml, .yaml) that are read for their
  // "$ref" values alone: no name, no other rule counts in them, so the
  // caller need not feed their blocks to the matcher.
  static bool ReadsReferencesOnly(const std::string& upperExt);
  // The rule that makes an upper-cased file name used by itself, if any
  // (EngineEntryFile or ConventionFile), else None.
  static TUseRule EntryRule(const std::string& upperName);

  // A new text: the file at path, which is entry (0 for a file that the
  // table does not hold).
  void StartText(std::int32_t entry, const std::string& path);
  // The block just read: size bytes at block, preceded in memory by history
  // bytes of the same text (at most History). Call before feeding the block
  // to the matcher with this object as its sink.
  void BeginBlock(const unsigned char* block, std::size_t size, std::size_t history);
  // After the matcher has had the block: each "&" of it, and the checks
  // that were waiting for these bytes.
  void EndBlock();
  // The text is complete; found are the matcher's Found() ids for it.
  void EndText(const std::vector<std::uint32_t>& found);
  // The name rule's hits in the current text when only these rules read it:
  // every named entry but the reader itself is marked, and the reader when
  // it names another. owners are the named entries.
  void MarkNamed(const std::vector<std::int32_t>& owners);
  // Marks entry as used by rule, with the current text as its referrer
  // (none before the first text), recording the reason when it has none yet.
  void Mark(std::int32_t entry, TUseRule rule);

  // Decides what waits for the whole run and applies every mark of these
  // rules to the table.
  void Finish();

  bool OnMatch(std::uint32_t id, const unsigned char* end) override;
  // The literals whose places matter only at the end of a word (every check
  // of theirs wants a byte after them that no name is made of), and those
  // that matter only where a word starts, for the matcher to report them
  // there alone.
  match::TWordEnds WordEnds() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace analysis

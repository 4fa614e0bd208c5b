#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/FileTable.h"
#include "platform/AsciiText.h"
#include "platform/MessagePump.h"

namespace analysis {

// Receives a text for panel 0 of the status bar.
using StatusSink = std::function<void(const std::string&)>;

// How far a Process run has come, for a progress bar.
struct TProgress {
  enum class TPhase { Scan, Analysis };
  TPhase Phase = TPhase::Scan;
  // Scan: the files listed so far (Total 0: not known yet). Analysis: the
  // file at its turn, e of Total (the table's entries, then the pages outside
  // it), and the bytes of the table's files read up to it.
  std::int64_t Done = 0;
  std::int64_t Total = 0;
  std::uint64_t Bytes = 0;
};
using ProgressSink = std::function<void(const TProgress&)>;

// The page extension the Process command analyses with.
inline constexpr const char* PageExtension = "cfm";

// Upper-cases the ASCII letters a to z only; every other byte stays.
using platform::UpperAscii;

// The upper-cased extension of a name: from its last "." to the end, dot
// included; empty for a name without a dot.
std::string UpperExtension(const std::string& name);

// True for the names that are used whatever refers to them (compared with
// the upper-cased name): APPLICATION.CFM, ONREQUESTEND.CFM, INDEX.CFM,
// INDEX.HTM and INDEX.HTML.
bool IsEntryFile(const std::string& upperName);

// True for the upper-cased extensions whose files are always read: the page
// extension key ("." + the upper-cased page extension), .INC, .HTM, .CSS and
// .JS. (.HTML files are read under a condition of their own.)
bool IsReadExtension(const std::string& ext, const std::string& pageKey);

// Marks every entry of table that a read file refers to as used.
//
// Entries 1 to FileCount are taken in table order. Entry files are used
// outright. The files with the page extension (given without the dot, "cfm"),
// .inc, .htm, .css and .js are read, and .html files only while their entry is
// still unused at their turn, so whether one is read depends on the entries
// before it. Every entry whose name or tag name occurs in a read file's text
// (ASCII letters in any case, plain substring, NUL bytes ordinary) is marked
// used, and so is the file read when anything occurs in it.
//
// showStatus gets "  Analyze..." first, then "  Analyzing " + Directory +
// Name for every entry, each followed by one call of processMessages (both
// may be empty). Pending window events therefore run between entries: the
// caller keeps commands that change the table from running meanwhile.
// progress, when given, hears of every file just before processMessages
// runs; a processMessages that throws ends the analysis there. While a file
// is opened and read (on a thread of its own), processMessages also runs
// every 50 ms or so, however long the file takes.
//
// Then each of unlistedPages (full paths of files that the table does not
// hold) is read the same way, after the entries, with its own status text;
// the names that occur in it mark their entries used.
//
// A file that cannot be opened or read throws platform::IoError with the
// file's error text; the entries from there on keep the flags they had.
// Runs on the caller's thread, streaming each file in 65536-byte blocks.
//
// With TRuleSet::Cfml (the program's way) the CFML rules (CfmlRules.h) then
// mark more entries used, never fewer; TRuleSet::Plain runs the plain rule
// alone. Every used entry's Reason and Referrer tell the first rule and read
// file, in table order, that made it used (ReasonLine its line, when the rule
// knew the place); every entry left unused gets NotNamed, once the whole
// run is through.
enum class TRuleSet { Plain, Cfml };
void AnalyzeReferences(TFileTable& table, const std::string& pageExtension,
                       const StatusSink& showStatus,
                       const platform::MessagePump& processMessages,
                       const std::vector<std::string>& unlistedPages = {},
                       TRuleSet rules = TRuleSet::Cfml, const ProgressSink& progress = {});

}  // namespace analysis

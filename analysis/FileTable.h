#pragma once
#include <cassert>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileId.h"
#include "platform/FileStamp.h"

// The file table: the program's single store of scan results.
//
// Up to Capacity() entries (MaxFiles for the window's table), numbered from
// 1 at the interface; FileCount of them are in use, in the order the scan
// stored them. Slots above FileCount, up to SlotCount(), keep whatever an
// earlier scan or compaction left in them. Storage grows with the entries
// appended, never with the capacity, so a large or unlimited capacity costs
// nothing until files come. The process-wide instance FileTable is owned by
// the main window's unit and touched only on the window thread; the core
// functions take a table by reference so that tests can use tables of their
// own.
namespace analysis {

// The window's capacity, and the default of every table.
constexpr std::int32_t MaxFiles = 1000;
// A capacity argument meaning "no limit but the numbering's".
constexpr std::int32_t NoFileLimit = 0;

struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// Why the analysis found a file used: the first rule that marked it, in the
// order the files were read.
enum class TUseRule : std::uint8_t {
  None,              // unused, or not analysed
  EntryFile,         // an entry file by its name
  Named,             // a read file names it (its name or custom-tag name)
  NamesAFile,        // its own text names a file of the project
  EngineEntryFile,   // run by the CFML engine without any reference
  ConventionFile,    // fetched by clients or servers by convention
  CustomTag,         // called as cf_<stem>
  Component,         // named as a component (the last part of a dotted path)
  Template,          // named as a template without its extension
  TagLibrary,        // called as <prefix:stem> of an imported tag library
  NamePrefix,        // a name computed from a literal prefix of its stem
  Folder,            // a path computed below a folder that holds it
  EngineRegistered,  // a component the engine registers (ORM, remote, REST)
  JavaLoadPath,      // a Java archive or class in a load path
  TestBundle,        // a test bundle that test runners find by themselves
  FolderLiteral,     // below a folder that a path literal names whole
  SchemaRef,         // the file of a "$ref" in a JSON or YAML text
  StyleImport,       // imported by a Sass or Less source (@import, @use, @forward)
  ModuleSpecifier,   // a script module loaded by a relative specifier
  EditorPlugin,      // an editor plugin whose name a list holds
  NameSuffix,        // a name computed with a literal suffix of its stem
  KeptByList,        // a line of the project's keep list holds it
  KeepListFile,      // the project's keep list itself
  NotNamed,          // unused: the analysis ran and nothing read names it
};

struct TFileName {
  std::string Name;             // as listed, no directory part
  std::string TagName;          // "cf_" + name without ".cfm", or empty
  std::int32_t NameLength = 0;  // written by the scan, read by nobody
  std::string Directory;        // absolute, always ends in the path delimiter
  std::uint8_t Checked = 0;     // 1: the Delete command deletes the file
  std::uint8_t Unused = 0;      // 1: the analysis found no reference
  TRect CheckRect;              // where the grid last drew the row's glyph
  platform::FileId Id;          // the file the scan listed, for the deletion
  platform::FileStamp Stamp;    // its size and times then, for the deletion
  TUseRule Reason = TUseRule::None;  // why the analysis found it used
  std::string Referrer;         // the read file that gave Reason, if any
  std::int32_t ReasonLine = 0;  // the line of Referrer that gave Reason (0: none)
  std::uint64_t Size = 0;       // bytes, as the scan found them
};

// The custom-tag name of a file name: "cf_" followed by the name without its
// last four characters when those, lower-cased, are ".cfm"; otherwise empty.
std::string MakeTagName(const std::string& name);

class TFileTable {
 public:
  // capacity >= 0; NoFileLimit stands for the largest count the numbering
  // holds.
  explicit TFileTable(std::int32_t capacity = MaxFiles);

  // The most entries the table holds (never 0).
  std::int32_t Capacity() const { return capacity_; }
  // True when FileCount has reached the capacity.
  bool Full() const { return FileCount >= capacity_; }
  // Slots that exist: the entries in use and those left above them.
  std::int32_t SlotCount() const { return static_cast<std::int32_t>(entries_.size()); }

  // Entry i, 1 <= i <= SlotCount().
  TFileName& operator[](std::int32_t i) { return entries_[Slot(i)]; }
  const TFileName& operator[](std::int32_t i) const { return entries_[Slot(i)]; }

  std::int32_t FileCount = 0;

  // The directory the entries were scanned from (ending in the path
  // delimiter) and its identity at that time; the deletion checks both.
  std::string ProjectDirectory;
  platform::FileId ProjectId;

  // FileCount := 0; entry contents stay.
  void Reset() { FileCount = 0; }
  // Reset, for a scan of directory, whose identity is id.
  void Reset(const std::string& directory, platform::FileId id) {
    Reset();
    ProjectDirectory = directory;
    ProjectId = id;
  }
  // Stores a file with both flags set; false (nothing stored) when full.
  bool Append(const std::string& name, const std::string& directory,
              platform::FileId id = {}, std::uint64_t size = 0,
              const platform::FileStamp& stamp = {});
  // Takes back the entry just appended.
  void WithdrawLast();
  // Marks entry i used: Checked := 0 and Unused := 0.
  void MarkUsed(std::int32_t i);

 private:
  std::size_t Slot(std::int32_t i) const {
    assert(i >= 1 && i <= SlotCount());
    return static_cast<std::size_t>(i - 1);
  }
  std::int32_t capacity_;
  std::vector<TFileName> entries_;
};

// The process-wide table.
extern TFileTable FileTable;

}  // namespace analysis

#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Attributes.h"
#include "platform/FileId.h"
#include "platform/FileStamp.h"

// Directory listings with attribute bits.
//
// DirectorySource opens listings; a listing hands out entries in the order the
// file system returns them, "." and ".." included. The scan takes a source by
// reference, so tests can hand it listings in any order they need.
namespace platform {

struct DirEntry {
  DirEntry() = default;
  DirEntry(std::string name, std::uint32_t attr) : Name(std::move(name)), Attr(attr) {}

  std::string Name;          // the file system's bytes, no directory part
  std::uint32_t Attr = 0;    // union of the fa* bits; 0 for anything else
  FileId Id;                 // the entry itself (a link, not its target)
  bool DirectoryLink = false;  // a link to a directory: no bits, never listed
  std::uint64_t Size = 0;      // bytes of a file (of a link's target file)
  FileStamp Stamp;             // the entry itself, with Id
};

// What a walk of the tree cannot read is never passed over in silence: a
// folder whose listing cannot be read, or an entry that cannot be examined,
// leaves as IoError naming its path. Only what is gone (removed or replaced
// between the listing that named it and the look at it, ENOENT or ENOTDIR)
// counts as nothing: it holds no page any more.
class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  // Fills entry with the next entry; false when the listing is exhausted.
  // Throws IoError naming the path when the listing or the entry cannot be
  // read.
  virtual bool Next(DirEntry& entry) = 0;
};

class DirectorySource {
 public:
  virtual ~DirectorySource() = default;
  // Starts a listing of dir (which ends in PathDelimiter). Returns nullptr
  // when dir is gone (missing, or no directory any more); throws IoError
  // naming dir when it is there but cannot be listed (access denied, a path
  // past the system's limit, an input/output error).
  virtual std::unique_ptr<DirectoryListing> Open(const std::string& dir) = 0;
  // A source of the same files for another thread, which lists at the same
  // time as this one; none (the default) when this kind of source cannot
  // give one: the scan then lists on one thread.
  virtual std::unique_ptr<DirectorySource> Twin() const { return nullptr; }
};

// The real file system, through opendir/readdir and lstat.
class PosixDirectorySource : public DirectorySource {
 public:
  std::unique_ptr<DirectoryListing> Open(const std::string& dir) override;
  std::unique_ptr<DirectorySource> Twin() const override {
    return std::make_unique<PosixDirectorySource>();
  }
};

// One entry as the listing gives it: attribute bits (0 when the entry is gone,
// is a dangling link or is of a kind that carries no bit), identity, and
// whether it is a link to a directory. Throws IoError naming path when the
// entry, or a link's target, is there but cannot be examined.
DirEntry Examine(const std::string& path, const std::string& name);
// The same for the entry name of the folder open as dirFd (path is the
// entry's whole path, for errors); AT_FDCWD looks at path itself.
DirEntry Examine(int dirFd, const std::string& path, const std::string& name);

// True for the errors that say a path leads nowhere (any more): not found,
// a component that is no directory, a link cycle.
bool IsGoneError(int err);

}  // namespace platform

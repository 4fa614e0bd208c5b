#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Attributes.h"
#include "platform/FileId.h"

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
};

class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  // Fills entry with the next entry; false when the listing is exhausted.
  virtual bool Next(DirEntry& entry) = 0;
};

class DirectorySource {
 public:
  virtual ~DirectorySource() = default;
  // Starts a listing of dir (which ends in PathDelimiter). Returns nullptr
  // when it cannot be started: missing, unreadable, not a directory.
  virtual std::unique_ptr<DirectoryListing> Open(const std::string& dir) = 0;
};

// The real file system, through opendir/readdir and lstat.
class PosixDirectorySource : public DirectorySource {
 public:
  std::unique_ptr<DirectoryListing> Open(const std::string& dir) override;
};

// One entry as the listing gives it: attribute bits (0 when the path cannot
// be examined or is of a kind that carries no bit), identity, and whether it
// is a link to a directory.
DirEntry Examine(const std::string& path, const std::string& name);

}  // namespace platform

#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Attributes.h"

// Directory listings with attribute bits.
//
// DirectorySource opens listings; a listing hands out entries in the order the
// file system returns them, "." and ".." included. The scan takes a source by
// reference, so tests can hand it listings in any order they need.
namespace platform {

struct DirEntry {
  std::string Name;          // the file system's bytes, no directory part
  std::uint32_t Attr = 0;    // union of the fa* bits; 0 for anything else
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

// Attribute bits of one path, as the listing gives them (0 when the path
// cannot be examined or is of a kind that carries no bit).
std::uint32_t AttributesOf(const std::string& path, const std::string& name);

}  // namespace platform

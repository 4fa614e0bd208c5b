#pragma once
#include <cstdint>
#include <string>

// Which file a path named at some moment: the device and inode that lstat(2)
// or stat(2) reported. The deletion compares it with the file found at delete
// time, so that a file swapped, renamed or redirected since the scan is never
// the one removed. Device 0 and inode 0 together stand for "not known".
namespace platform {

struct FileId {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;

  bool Known() const { return Device != 0 || Inode != 0; }
  friend bool operator==(const FileId&, const FileId&) = default;
};

struct FileIdHash {
  std::size_t operator()(const FileId& id) const {
    return std::hash<std::uint64_t>()(id.Inode * 0x9E3779B97F4A7C15ull ^ id.Device);
  }
};

// The identity of what path leads to, links followed; unknown when it cannot
// be examined.
FileId IdentityOf(const std::string& path);

}  // namespace platform

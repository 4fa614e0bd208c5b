#pragma once
#include <sys/stat.h>

#include <cstdint>

#include "platform/FileId.h"

// What tells the file that a scan saw from another one put in its place
// since, besides its device and inode: a file system hands a freed inode
// number to the next file made (ext4 does so at once), so `rm f; echo new >
// f` can give the new file the old identity. The size, the modification and
// change times and, where the file system keeps it, the birth time are
// taken with the identity and compared with it before a file is removed.
// Times are nanoseconds since the epoch.
namespace platform {

struct FileStamp {
  std::uint64_t Size = 0;
  std::int64_t Modified = 0;
  std::int64_t Changed = 0;
  std::int64_t Born = 0;  // 0 where the file system keeps no birth time
  bool Known = false;     // false: nothing was taken, nothing is compared

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// What statx(2) is asked for wherever a stamp is taken.
inline constexpr unsigned StampMask = STATX_BASIC_STATS | STATX_BTIME;

// The identity and stamp of what statx returned (with StampMask).
FileId IdOf(const struct statx& st);
FileStamp StampOf(const struct statx& st);

// statx of name in the folder dirFd (AT_FDCWD: name is a path of its own),
// links not followed, with StampMask; 0 or the errno.
// (IdOf(st) is the identity that stat(2) gives the same entry.)
int StatEntry(int dirFd, const char* name, struct statx& st);

}  // namespace platform

#include "platform/FileStamp.h"

#include <fcntl.h>
#include <sys/sysmacros.h>

#include <cerrno>

namespace platform {

namespace {

std::int64_t Nanoseconds(const struct statx_timestamp& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

FileId IdOf(const struct statx& st) {
  // Encoded as stat(2)'s st_dev, so that it compares with identities taken
  // there.
  return {static_cast<std::uint64_t>(makedev(st.stx_dev_major, st.stx_dev_minor)), st.stx_ino};
}

FileStamp StampOf(const struct statx& st) {
  FileStamp stamp;
  stamp.Size = st.stx_size;
  stamp.Modified = Nanoseconds(st.stx_mtime);
  stamp.Changed = Nanoseconds(st.stx_ctime);
  if ((st.stx_mask & STATX_BTIME) != 0) stamp.Born = Nanoseconds(st.stx_btime);
  stamp.Known = true;
  return stamp;
}

int StatEntry(int dirFd, const char* name, struct statx& st) {
  int result;
  do {
    result = statx(dirFd, name, AT_SYMLINK_NOFOLLOW, StampMask, &st);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

}  // namespace platform

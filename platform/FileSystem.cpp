#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <climits>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace platform {

bool IsValidPathText(const std::string& text) {
  return text.size() < PATH_MAX && text.find('\0') == std::string::npos;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && IsValidPathText(path) && stat(path.c_str(), &st) == 0 &&
         S_ISDIR(st.st_mode);
}

bool DeleteFileA(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string IoErrorText(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return "File not found";
    case EACCES:
    case EPERM:
      return "File access denied";
    case EISDIR:
      return "File access denied";
    case EMFILE:
    case ENFILE:
      return "Too many open files";
    default:
      return std::strerror(err);
  }
}

bool IsPseudoFileSystem(std::int64_t type) {
  // Types that linux/magic.h does not name.
  constexpr std::int64_t ConfigFs = 0x62656570, FuseControl = 0x65735543, Mqueue = 0x19800202;
  // The kernel's own views and control files.
  static constexpr std::int64_t Pseudo[] = {
      PROC_SUPER_MAGIC, SYSFS_MAGIC,      DEBUGFS_MAGIC,  TRACEFS_MAGIC,      CGROUP_SUPER_MAGIC,
      CGROUP2_SUPER_MAGIC, SECURITYFS_MAGIC, PSTOREFS_MAGIC, BPF_FS_MAGIC,    ConfigFs,
      EFIVARFS_MAGIC,   SELINUX_MAGIC,    SMACK_MAGIC,    FuseControl,        BINFMTFS_MAGIC,
      DEVPTS_SUPER_MAGIC, NSFS_MAGIC,     Mqueue,
  };
  return std::find(std::begin(Pseudo), std::end(Pseudo), type) != std::end(Pseudo);
}

bool LiesOnPseudoFileSystem(const std::string& path) {
  struct statfs fs {};
  return statfs(path.c_str(), &fs) == 0 && IsPseudoFileSystem(static_cast<std::int64_t>(fs.f_type));
}

namespace {

int PinPath(int at, const char* path) {
  int pinned;
  do {
    pinned = openat(at, path, O_PATH | O_CLOEXEC);
  } while (pinned < 0 && errno == EINTR);
  return pinned;
}

}  // namespace

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) close(fd_);
}

int FolderHandle::Pin(const std::string& path) {
  const std::size_t cut = path.rfind('/');
  if (cut == std::string::npos || cut + 1 == path.size()) return PinPath(AT_FDCWD, path.c_str());
  if (fd_ < 0 || path.compare(0, cut + 1, folder_) != 0 || folder_.size() != cut + 1) {
    if (fd_ >= 0) close(fd_);
    folder_.assign(path, 0, cut + 1);
    do {
      fd_ = open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
  }
  if (fd_ < 0) return PinPath(AT_FDCWD, path.c_str());
  return PinPath(fd_, path.c_str() + cut + 1);
}

InputFile::InputFile(const std::string& path) : path_(path) {
  Open(PinPath(AT_FDCWD, path.c_str()));
}

InputFile::InputFile(const std::string& path, FolderHandle& folders) : path_(path) {
  Open(folders.Pin(path));
}

void InputFile::Open(int pinned) {
  // The file is pinned first without opening its contents, so that a FIFO or
  // device swapped in since the scan can never block the open, and a file of
  // the kernel's views is never opened at all; only a regular file is then
  // opened for reading, through the pinned handle, so that it is the same
  // file that was examined.
  const std::string& path = path_;
  if (pinned < 0) throw IoError(IoErrorText(errno), path);
  struct stat st {};
  struct statfs fs {};
  if (fstat(pinned, &st) != 0 || fstatfs(pinned, &fs) != 0) {
    const int err = errno;
    close(pinned);
    throw IoError(IoErrorText(err), path);
  }
  if (!S_ISREG(st.st_mode) || IsPseudoFileSystem(static_cast<std::int64_t>(fs.f_type))) {
    close(pinned);
    throw IoError(IoErrorText(EACCES), path);
  }
  const std::string handle = "/proc/self/fd/" + std::to_string(pinned);
  do {
    fd_ = open(handle.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  const int err = errno;
  close(pinned);
  if (fd_ < 0) throw IoError(IoErrorText(err), path);
  // The size at the open, from the open file itself.
  if (fstat(fd_, &st) != 0) {
    const int statErr = errno;
    close(fd_);
    throw IoError(IoErrorText(statErr), path);
  }
  left_ = static_cast<std::uint64_t>(st.st_size);
}

InputFile::~InputFile() { close(fd_); }

std::size_t InputFile::Read(char* buffer, std::size_t size) {
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, left_));
  if (size == 0) return 0;
  for (;;) {
    ssize_t n = read(fd_, buffer, size);
    if (n >= 0) {
      left_ -= static_cast<std::uint64_t>(n);
      return static_cast<std::size_t>(n);
    }
    if (errno != EINTR) throw IoError(IoErrorText(errno), path_);
  }
}

}  // namespace platform

#include "platform/ProjectDirectory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Attributes.h"

namespace platform {

namespace {

FileId IdOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

int OpenRetrying(int dirFd, const char* name, int flags) {
  int fd;
  do {
    fd = openat(dirFd, name, flags);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsPlainComponent(const std::string& part) {
  return !part.empty() && part != "." && part != "..";
}

}  // namespace

ProjectDirectory::ProjectDirectory(std::string path, FileId id) : path_(std::move(path)) {
  if (!id.Known() || path_.empty()) return;
  if (path_.back() != PathDelimiter) path_ += PathDelimiter;
  const int fd = OpenRetrying(AT_FDCWD, path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || IdOf(st) != id) {
    close(fd);
    return;
  }
  fd_ = fd;
}

ProjectDirectory::~ProjectDirectory() {
  if (fd_ >= 0) close(fd_);
}

bool ProjectDirectory::DeleteFile(const std::string& directory, const std::string& name,
                                  FileId id, const FileStamp& stamp) const {
  const UniqueFd at = OpenDirectory(directory);
  return at.valid() && IsListedFile(at.get(), name, id, stamp) &&
         unlinkat(at.get(), name.c_str(), 0) == 0;
}

UniqueFd ProjectDirectory::OpenDirectory(const std::string& directory) const {
  if (fd_ < 0 || directory.compare(0, path_.size(), path_) != 0) return UniqueFd();
  // The caller owns what comes back, so the walk starts from a copy of the
  // project's own descriptor.
  UniqueFd current(fcntl(fd_, F_DUPFD_CLOEXEC, 0));
  std::size_t start = path_.size();
  while (current.valid() && start < directory.size()) {
    const std::size_t end = directory.find(PathDelimiter, start);
    if (end == std::string::npos) return UniqueFd();  // directory ends in the delimiter
    const std::string part = directory.substr(start, end - start);
    if (!IsPlainComponent(part)) return UniqueFd();
    current = UniqueFd(
        OpenRetrying(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    start = end + 1;
  }
  return current;
}

bool ProjectDirectory::IsListedFile(int directoryFd, const std::string& name, FileId id,
                                    const FileStamp& stamp) {
  if (!id.Known() || !IsPlainComponent(name) || name.find(PathDelimiter) != std::string::npos) {
    return false;
  }
  struct statx st {};
  if (StatEntry(directoryFd, name.c_str(), st) != 0) return false;
  return (S_ISREG(st.stx_mode) || S_ISLNK(st.stx_mode)) && IdOf(st) == id &&
         (!stamp.Known || StampOf(st) == stamp);
}

FileStamp ProjectDirectory::StampNow(int directoryFd, const std::string& name) {
  struct statx st {};
  if (!IsPlainComponent(name) || StatEntry(directoryFd, name.c_str(), st) != 0) return {};
  return StampOf(st);
}

}  // namespace platform

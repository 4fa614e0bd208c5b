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

// A descriptor closed with its owner.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

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
                                  FileId id) const {
  if (fd_ < 0 || !id.Known() || !IsPlainComponent(name) ||
      name.find(PathDelimiter) != std::string::npos ||
      directory.compare(0, path_.size(), path_) != 0) {
    return false;
  }
  // Walk down from the project directory, one real directory at a time.
  Fd current(-1);
  int at = fd_;
  std::size_t start = path_.size();
  while (start < directory.size()) {
    const std::size_t end = directory.find(PathDelimiter, start);
    if (end == std::string::npos) return false;  // directory ends in the delimiter
    const std::string part = directory.substr(start, end - start);
    if (!IsPlainComponent(part)) return false;
    const int next =
        OpenRetrying(at, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) return false;
    current.reset(next);
    at = next;
    start = end + 1;
  }
  struct stat st {};
  if (fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || IdOf(st) != id) return false;
  return unlinkat(at, name.c_str(), 0) == 0;
}

}  // namespace platform

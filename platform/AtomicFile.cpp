#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileSystem.h"

namespace platform {

namespace {

// Closes a descriptor with its owner.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

[[noreturn]] void ThrowErrno() { throw IoError(IoErrorText(errno)); }

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno();
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t maxBytes) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    ThrowErrno();
  }
  const FdCloser closer{fd};
  struct stat st {};
  if (fstat(fd, &st) != 0) ThrowErrno();
  // A FIFO or device could block or never end; a folder is no list.
  if (!S_ISREG(st.st_mode)) throw IoError(IoErrorText(EISDIR));
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) throw IoError(TooLargeText);
  std::string bytes(maxBytes + 1 < static_cast<std::size_t>(st.st_size) + 4096
                        ? maxBytes + 1
                        : static_cast<std::size_t>(st.st_size) + 4096,
                    '\0');
  std::size_t have = 0;
  // The file may grow while it is read: never past the budget.
  for (;;) {
    if (have == bytes.size()) {
      if (bytes.size() > maxBytes) break;
      bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
    }
    const ssize_t n = read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno();
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  if (have > maxBytes) throw IoError(TooLargeText);
  bytes.resize(have);
  return bytes;
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = folder + "." + name + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) ThrowErrno();
  try {
    const FdCloser closer{fd};
    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (fchmod(fd, mode) != 0) ThrowErrno();
    WriteAll(fd, bytes);
    if (fsync(fd) != 0) ThrowErrno();
    if (rename(temp.c_str(), path.c_str()) != 0) ThrowErrno();
  } catch (...) {
    unlink(temp.c_str());
    throw;
  }
}

}  // namespace platform

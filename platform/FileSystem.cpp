#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <climits>
#include <sys/stat.h>
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

InputFile::InputFile(const std::string& path) {
  // The file is pinned first without opening its contents, so that a FIFO or
  // device swapped in since the scan can never block the open; only a regular
  // file is then opened for reading, through the pinned handle, so that it is
  // the same file that was examined.
  int pinned;
  do {
    pinned = open(path.c_str(), O_PATH | O_CLOEXEC);
  } while (pinned < 0 && errno == EINTR);
  if (pinned < 0) throw IoError(IoErrorText(errno));
  struct stat st {};
  if (fstat(pinned, &st) != 0) {
    const int err = errno;
    close(pinned);
    throw IoError(IoErrorText(err));
  }
  if (!S_ISREG(st.st_mode)) {
    close(pinned);
    throw IoError(IoErrorText(EISDIR));
  }
  const std::string handle = "/proc/self/fd/" + std::to_string(pinned);
  do {
    fd_ = open(handle.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  const int err = errno;
  close(pinned);
  if (fd_ < 0) throw IoError(IoErrorText(err));
}

InputFile::~InputFile() { close(fd_); }

std::size_t InputFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    ssize_t n = read(fd_, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw IoError(IoErrorText(errno));
  }
}

}  // namespace platform

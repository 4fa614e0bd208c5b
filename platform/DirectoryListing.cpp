#include "platform/DirectoryListing.h"

#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

FileId IdOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

class PosixListing : public DirectoryListing {
 public:
  PosixListing(DIR* dir, std::string path) : dir_(dir), path_(std::move(path)) {}
  ~PosixListing() override { closedir(dir_); }
  PosixListing(const PosixListing&) = delete;
  PosixListing& operator=(const PosixListing&) = delete;

  bool Next(DirEntry& entry) override {
    errno = 0;
    dirent* d = readdir(dir_);
    if (d == nullptr) {
      // The end of the listing, or a failure that would cut it short.
      if (errno != 0) throw IoError(IoErrorText(errno), path_);
      return false;
    }
    // Looked at through the listing's own folder: no walk of the whole path.
    entry = Examine(dirfd(dir_), path_ + d->d_name, d->d_name);
    return true;
  }

 private:
  DIR* dir_;
  std::string path_;
};

}  // namespace

FileId IdentityOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};
  return IdOf(st);
}

bool IsGoneError(int err) { return err == ENOENT || err == ENOTDIR || err == ELOOP; }

DirEntry Examine(const std::string& path, const std::string& name) {
  return Examine(AT_FDCWD, path, name);
}

DirEntry Examine(int dirFd, const std::string& path, const std::string& name) {
  DirEntry entry;
  entry.Name = name;
  const char* const at = dirFd == AT_FDCWD ? path.c_str() : name.c_str();
  struct statx st {};
  if (const int err = StatEntry(dirFd, at, st); err != 0) {
    if (IsGoneError(err)) return entry;
    throw IoError(IoErrorText(err), path);
  }
  entry.Id = IdOf(st);
  entry.Stamp = StampOf(st);
  std::uint32_t attr = 0;
  mode_t mode = st.stx_mode;
  if (S_ISDIR(mode)) {
    attr = faDirectory;
  } else if (S_ISREG(mode)) {
    attr = faArchive;
    entry.Size = st.stx_size;
  } else if (S_ISLNK(mode)) {
    // A link counts as a file only when it leads to a regular file; links to
    // directories carry no bit, so no link can lead the scan into a cycle.
    struct stat target {};
    if (fstatat(dirFd, at, &target, 0) != 0) {
      if (IsGoneError(errno)) return entry;  // dangling, or a cycle of links
      throw IoError(IoErrorText(errno), path);
    }
    if (S_ISDIR(target.st_mode)) entry.DirectoryLink = true;
    if (!S_ISREG(target.st_mode)) return entry;
    attr = faArchive;
    mode = target.st_mode;
    entry.Size = static_cast<std::uint64_t>(target.st_size);
  } else {
    return entry;
  }
  if ((mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (!name.empty() && name[0] == '.') attr |= faHidden;
  entry.Attr = attr;
  return entry;
}

std::unique_ptr<DirectoryListing> PosixDirectorySource::Open(const std::string& dir) {
  // A text the system would cut at a NUL byte names another folder.
  if (dir.find('\0') != std::string::npos) throw IoError(IoErrorText(EINVAL), dir);
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) {
    // ENOTDIR: the folder was replaced by a file since it was listed.
    if (errno == ENOENT || errno == ENOTDIR) return nullptr;
    throw IoError(IoErrorText(errno), dir);
  }
  return std::make_unique<PosixListing>(d, dir);
}

}  // namespace platform

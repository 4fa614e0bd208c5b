#include "platform/DirectoryListing.h"

#include <dirent.h>
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
    dirent* d = readdir(dir_);
    if (d == nullptr) return false;
    entry = Examine(path_ + d->d_name, d->d_name);
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

DirEntry Examine(const std::string& path, const std::string& name) {
  DirEntry entry;
  entry.Name = name;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return entry;
  entry.Id = IdOf(st);
  std::uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr = faDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attr = faArchive;
  } else if (S_ISLNK(st.st_mode)) {
    // A link counts as a file only when it leads to a regular file; links to
    // directories carry no bit, so no link can lead the scan into a cycle.
    struct stat target {};
    if (stat(path.c_str(), &target) != 0) return entry;
    if (S_ISDIR(target.st_mode)) entry.DirectoryLink = true;
    if (!S_ISREG(target.st_mode)) return entry;
    attr = faArchive;
    st.st_mode = target.st_mode;
    st.st_size = target.st_size;
  } else {
    return entry;
  }
  if (S_ISREG(st.st_mode)) entry.Size = static_cast<std::uint64_t>(st.st_size);
  if ((st.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (!name.empty() && name[0] == '.') attr |= faHidden;
  entry.Attr = attr;
  return entry;
}

std::unique_ptr<DirectoryListing> PosixDirectorySource::Open(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return nullptr;
  return std::make_unique<PosixListing>(d, dir);
}

}  // namespace platform

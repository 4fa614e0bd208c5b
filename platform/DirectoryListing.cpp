#include "platform/DirectoryListing.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class PosixListing : public DirectoryListing {
 public:
  PosixListing(DIR* dir, std::string path) : dir_(dir), path_(std::move(path)) {}
  ~PosixListing() override { closedir(dir_); }
  PosixListing(const PosixListing&) = delete;
  PosixListing& operator=(const PosixListing&) = delete;

  bool Next(DirEntry& entry) override {
    dirent* d = readdir(dir_);
    if (d == nullptr) return false;
    entry.Name = d->d_name;
    entry.Attr = AttributesOf(path_ + entry.Name, entry.Name);
    return true;
  }

 private:
  DIR* dir_;
  std::string path_;
};

}  // namespace

std::uint32_t AttributesOf(const std::string& path, const std::string& name) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return 0;
  std::uint32_t attr = 0;
  if (S_ISDIR(st.st_mode)) {
    attr = faDirectory;
  } else if (S_ISREG(st.st_mode)) {
    attr = faArchive;
  } else if (S_ISLNK(st.st_mode)) {
    // A link counts as a file only when it leads to a regular file; links to
    // directories carry no bit, so no link can lead the scan into a cycle.
    struct stat target {};
    if (stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return 0;
    attr = faArchive;
    st = target;
  } else {
    return 0;
  }
  if ((st.st_mode & S_IWUSR) == 0) attr |= faReadOnly;
  if (!name.empty() && name[0] == '.') attr |= faHidden;
  return attr;
}

std::unique_ptr<DirectoryListing> PosixDirectorySource::Open(const std::string& dir) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return nullptr;
  return std::make_unique<PosixListing>(d, dir);
}

}  // namespace platform

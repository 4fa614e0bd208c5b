#pragma once
#include <string>

#include "platform/FileId.h"
#include "platform/FileStamp.h"
#include "platform/UniqueFd.h"

// The project directory, opened to delete files that a scan listed in it.
//
// Between a scan and a deletion the tree can change under the program: a
// folder renamed, a folder replaced by a link to somewhere else, the
// project's own link switched to another release, a file replaced by another
// one of the same name. A path handed to unlink would follow all of that. So
// the directory is opened once and checked to be the one the scan listed
// (its device and inode); each file is then reached from it one component
// at a time without following any link, and removed only when the entry
// found there is still the very file that the scan listed: its device and
// inode, and its stamp (size, times; see FileStamp.h), since an inode number
// freed by a deletion may already belong to a new file of the same name.
// Anything else counts as a file that could not be deleted. The walk and the
// check are public so that moving a file into the Trash reaches it the same
// way.
//
// Owned by the deletion pass that opens it; any thread, one at a time.
namespace platform {

class ProjectDirectory {
 public:
  // Opens path (links followed: the user may name the project through one)
  // and checks that it is the directory id. An unknown id never matches.
  ProjectDirectory(std::string path, FileId id);
  ~ProjectDirectory();
  ProjectDirectory(const ProjectDirectory&) = delete;
  ProjectDirectory& operator=(const ProjectDirectory&) = delete;

  // True when the directory is open and is the one the scan listed.
  bool IsOpen() const { return fd_ >= 0; }

  // Deletes name in directory (an absolute path that starts with the
  // project's path and ends in the path delimiter) when the entry there is
  // still the regular file or link id with the stamp the scan took. False,
  // with nothing removed, when the project is not open, directory lies
  // outside it, a component is missing, is a link or is no directory, the
  // entry is another file now, or unlinkat fails.
  bool DeleteFile(const std::string& directory, const std::string& name, FileId id,
                  const FileStamp& stamp) const;

  // Opens directory (as for DeleteFile) by walking down from the project
  // directory one component at a time without following a link. An invalid
  // descriptor when the project is not open, directory lies outside it, or a
  // component is missing, is a link or is no directory.
  UniqueFd OpenDirectory(const std::string& directory) const;

  // True when name is a single plain component and the entry of that name in
  // the open directory directoryFd is still the regular file or link id,
  // with stamp when that is known. (A file moved back from the Trash is
  // checked by identity alone: the move changed its change time.)
  static bool IsListedFile(int directoryFd, const std::string& name, FileId id,
                           const FileStamp& stamp = {});

  // The stamp of name in the open directory directoryFd as it is now;
  // unknown when it cannot be examined.
  static FileStamp StampNow(int directoryFd, const std::string& name);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace platform

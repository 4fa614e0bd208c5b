#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileId.h"
#include "platform/ProjectDirectory.h"

// Moving a listed file into the freedesktop.org Trash, and back.
//
// A file is only ever renamed: into the home Trash when it lives on the same
// file system, else into the Trash at the top directory of its own file system
// (TOP/.Trash/UID when an administrator made TOP/.Trash a sticky directory,
// else TOP/.Trash-UID). It is never copied and never removed outright: when
// no Trash on its own file system takes it, the move fails and the file
// stays. The file is reached the way ProjectDirectory::DeleteFile reaches it,
// so a tree changed since the scan sends nothing to the Trash.
//
// The trash info is written first (created exclusively) and the file renamed
// after it, so that a crash in between leaves an info without a file, which
// the Trash's readers ignore, rather than a file nobody can restore; a failed
// rename takes the info away again.
//
// Owned by the deletion pass; any thread, one at a time.
namespace platform {

// Where one file went.
struct TrashedFile {
  std::string OriginalPath;  // the listed directory and name
  std::string TrashedPath;   // TRASH/files/NAME
  std::string InfoPath;      // TRASH/info/NAME.trashinfo
  FileId Id;                 // the file's device and inode, which the rename keeps
};

// The home Trash: $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash; empty
// when neither variable names an absolute folder.
std::string DefaultHomeTrash();

// path with every byte but A-Z a-z 0-9 - . _ ~ and the path delimiter written
// as %XX (upper-case hex), as the Path key of a trash info wants it.
std::string PercentEncodePath(std::string_view path);

// The contents of a .trashinfo file for path (absolute, or relative to the
// top directory for a top directory's Trash) deleted at the local time
// deletedAt.
std::string TrashInfoText(std::string_view path, const std::tm& deletedAt);

class Trash {
 public:
  // The local time that goes into DeletionDate.
  using Clock = std::function<std::tm()>;

  static std::tm LocalNow();

  explicit Trash(std::string homeTrash = DefaultHomeTrash(), uid_t uid = getuid(),
                 Clock now = LocalNow);

  // Moves name in directory (as for ProjectDirectory::DeleteFile) into the
  // Trash when the entry there is still the regular file or link id with the
  // stamp the scan took. A name
  // already taken in the Trash becomes STEM.N.EXT (N from 2), the extension
  // kept last so that the Trash still shows what kind of file it was.
  // Nothing, with the file in place and no info left behind, when the walk
  // or the check fails or no Trash on the file's file system can take it.
  std::optional<TrashedFile> MoveToTrash(const ProjectDirectory& project,
                                         const std::string& directory, const std::string& name,
                                         FileId id, const FileStamp& stamp) const;

  // Moves a trashed file back under its original name and removes its info.
  // False when the original folder cannot be reached as for MoveToTrash, the
  // entry in the Trash is another file now, or the original name is taken
  // again: nothing is overwritten and the file stays in the Trash with its
  // info. When restored is given it gets the file's stamp as it is back in
  // place (the moves changed its change time), for a later deletion.
  bool Restore(const ProjectDirectory& project, const TrashedFile& record,
               FileStamp* restored = nullptr) const;

 private:
  std::string homeTrash_;
  uid_t uid_;
  Clock now_;
};

}  // namespace platform

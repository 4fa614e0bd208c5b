#include "platform/Trash.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/Attributes.h"
#include "platform/UniqueFd.h"

namespace platform {

namespace {

// Every folder of a Trash is the user's alone.
constexpr mode_t PrivateFolderMode = 0700;
constexpr mode_t InfoFileMode = 0600;
// A name taken in the Trash is tried again with a number; past this many
// tries the move fails rather than search on.
constexpr int MaxNameTries = 10000;
constexpr char InfoExtension[] = ".trashinfo";
constexpr char SharedTrashName[] = ".Trash";     // TOP/.Trash/UID, set up by an administrator
constexpr char PrivateTrashPrefix[] = ".Trash-";  // TOP/.Trash-UID, made by us
constexpr char FilesFolder[] = "files";
constexpr char InfoFolder[] = "info";
constexpr char RootPath[] = "/";

constexpr int OpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr int OpenOwnFolderFlags = OpenFolderFlags | O_NOFOLLOW;

std::uint64_t DeviceOf(const struct stat& st) { return static_cast<std::uint64_t>(st.st_dev); }

int OpenRetrying(int dirFd, const char* name, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = openat(dirFd, name, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// folder and name with one delimiter between them; folder never ends in one
// except for the root.
std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == PathDelimiter) return folder + name;
  return folder + PathDelimiter + name;
}

// path without a trailing delimiter, the root staying "/".
std::string WithoutTrailingDelimiter(std::string path) {
  while (path.size() > 1 && path.back() == PathDelimiter) path.pop_back();
  return path;
}

// The folder above an absolute path without a trailing delimiter.
std::string ParentOf(const std::string& path) {
  const std::size_t cut = path.rfind(PathDelimiter);
  return cut == 0 || cut == std::string::npos ? std::string(RootPath) : path.substr(0, cut);
}

// The device of path, or of its nearest existing ancestor while it does not
// exist yet (the home Trash before its first use).
std::optional<std::uint64_t> DeviceOfNearestExisting(std::string path) {
  for (;;) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) return DeviceOf(st);
    if (errno != ENOENT || path == RootPath) return std::nullopt;
    path = ParentOf(path);
  }
}

// The top directory of the file system that holds realFolder: the highest
// folder above it still on device.
std::string TopDirectory(std::string realFolder, std::uint64_t device) {
  while (realFolder != RootPath) {
    const std::string parent = ParentOf(realFolder);
    struct stat st {};
    if (stat(parent.c_str(), &st) != 0 || DeviceOf(st) != device) break;
    realFolder = parent;
  }
  return realFolder;
}

// The path the kernel knows for an open folder, links resolved.
std::optional<std::string> RealPathOf(int folderFd) {
  const std::string handle = "/proc/self/fd/" + std::to_string(folderFd);
  char buffer[PATH_MAX];
  const ssize_t length = readlink(handle.c_str(), buffer, sizeof buffer);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer || buffer[0] != PathDelimiter) {
    return std::nullopt;
  }
  return std::string(buffer, static_cast<std::size_t>(length));
}

// Opens the real folder name in at, making it (private) when missing.
UniqueFd OpenOrMakeFolder(int at, const char* name) {
  UniqueFd fd(OpenRetrying(at, name, OpenOwnFolderFlags));
  if (!fd.valid() && errno == ENOENT &&
      (mkdirat(at, name, PrivateFolderMode) == 0 || errno == EEXIST)) {
    fd = UniqueFd(OpenRetrying(at, name, OpenOwnFolderFlags));
  }
  return fd;
}

// Makes the missing folders of an absolute path, private.
void MakeFolders(const std::string& path) {
  for (std::size_t cut = path.find(PathDelimiter, 1); cut != std::string::npos;
       cut = path.find(PathDelimiter, cut + 1)) {
    mkdir(path.substr(0, cut).c_str(), PrivateFolderMode);
  }
  mkdir(path.c_str(), PrivateFolderMode);
}

// A Trash folder ready to take files from device.
struct TrashFolder {
  std::string Path;  // without a trailing delimiter
  UniqueFd Files;
  UniqueFd Info;
};

std::optional<TrashFolder> OpenTrashFolder(UniqueFd root, std::string path,
                                           std::uint64_t device) {
  if (!root.valid()) return std::nullopt;
  TrashFolder trash{std::move(path), OpenOrMakeFolder(root.get(), FilesFolder),
                    OpenOrMakeFolder(root.get(), InfoFolder)};
  struct stat files {}, info {};
  if (!trash.Files.valid() || !trash.Info.valid() || fstat(trash.Files.get(), &files) != 0 ||
      fstat(trash.Info.get(), &info) != 0 || DeviceOf(files) != device ||
      DeviceOf(info) != device) {
    return std::nullopt;
  }
  return trash;
}

// Renames from (in fromFd) to (in toFd) unless to exists; 0 or the errno.
// Where the file system cannot promise that a rename replaces nothing, a hard
// link (which never replaces either, and for a link entry links the link
// itself) and an unlink of the old name do the move.
int MoveWithoutReplacing(int fromFd, const char* from, int toFd, const char* to) {
  if (renameat2(fromFd, from, toFd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (linkat(fromFd, from, toFd, to, 0) != 0) return errno;
  if (unlinkat(fromFd, from, 0) != 0) {
    const int err = errno;
    unlinkat(toFd, to, 0);
    return err;
  }
  return 0;
}

// The n-th name tried for name in the Trash: name itself, then STEM.N.EXT,
// or NAME.N for a name without an extension (a leading dot starts none).
std::string CandidateName(const std::string& name, int n) {
  if (n == 1) return name;
  const std::string number = "." + std::to_string(n);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name + number;
  return name.substr(0, dot) + number + name.substr(dot);
}

enum class InfoWrite { Written, NameTaken, Failed };

InfoWrite WriteInfo(int infoFd, const std::string& infoName, const std::string& text) {
  UniqueFd fd(OpenRetrying(infoFd, infoName.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, InfoFileMode));
  if (!fd.valid()) return errno == EEXIST ? InfoWrite::NameTaken : InfoWrite::Failed;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == text.size() && close(fd.release()) == 0) return InfoWrite::Written;
  unlinkat(infoFd, infoName.c_str(), 0);
  return InfoWrite::Failed;
}

// The Trash of a top directory: TOP/.Trash/UID when TOP/.Trash is a real,
// sticky folder (so that users cannot remove each other's), else
// TOP/.Trash-UID. Either must be a real folder of uid's own.
std::optional<TrashFolder> OpenTopTrash(const std::string& top, uid_t uid, std::uint64_t device) {
  const UniqueFd topFd(OpenRetrying(AT_FDCWD, top.c_str(), OpenFolderFlags));
  if (!topFd.valid()) return std::nullopt;
  const auto ownFolder = [uid](int at, const std::string& name) {
    UniqueFd fd = OpenOrMakeFolder(at, name.c_str());
    struct stat st {};
    if (fd.valid() && (fstat(fd.get(), &st) != 0 || st.st_uid != uid)) fd.reset();
    return fd;
  };
  const std::string user = std::to_string(uid);
  const UniqueFd shared(OpenRetrying(topFd.get(), SharedTrashName, OpenOwnFolderFlags));
  struct stat st {};
  if (shared.valid() && fstat(shared.get(), &st) == 0 && (st.st_mode & S_ISVTX) != 0) {
    auto trash = OpenTrashFolder(ownFolder(shared.get(), user),
                                 Join(Join(top, SharedTrashName), user), device);
    if (trash) return trash;
  }
  const std::string own = PrivateTrashPrefix + user;
  return OpenTrashFolder(ownFolder(topFd.get(), own), Join(top, own), device);
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string DefaultHomeTrash() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == PathDelimiter) return Join(dataHome, "Trash");
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == PathDelimiter) return Join(home, ".local/share/Trash");
  return {};
}

std::string PercentEncodePath(std::string_view path) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  constexpr unsigned HighNibbleShift = 4;
  constexpr unsigned NibbleMask = 0xF;
  std::string out;
  out.reserve(path.size());
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c) || ch == PathDelimiter) {
      out += ch;
    } else {
      out += '%';
      out += Hex[c >> HighNibbleShift];
      out += Hex[c & NibbleMask];
    }
  }
  return out;
}

std::string TrashInfoText(std::string_view path, const std::tm& deletedAt) {
  // YYYY-MM-DDThh:mm:ss, no zone: the reader takes it as its local time.
  char date[64];
  if (std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &deletedAt) == 0) date[0] = '\0';
  return "[Trash Info]\nPath=" + PercentEncodePath(path) + "\nDeletionDate=" + date + "\n";
}

std::tm Trash::LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

Trash::Trash(std::string homeTrash, uid_t uid, Clock now)
    : homeTrash_(homeTrash.empty() ? std::string() : WithoutTrailingDelimiter(std::move(homeTrash))),
      uid_(uid),
      now_(std::move(now)) {}

std::optional<TrashedFile> Trash::MoveToTrash(const ProjectDirectory& project,
                                              const std::string& directory,
                                              const std::string& name, FileId id,
                                              const FileStamp& stamp) const {
  const UniqueFd from = project.OpenDirectory(directory);
  if (!from.valid() || !ProjectDirectory::IsListedFile(from.get(), name, id, stamp)) {
    return std::nullopt;
  }

  // The Trash on the file's own file system, so that the move is a rename.
  // A top directory's Trash records where the file was relative to the top,
  // so that the file system may be mounted elsewhere when it is restored.
  std::optional<TrashFolder> trash;
  std::string recorded = directory + name;
  const auto homeDevice =
      homeTrash_.empty() ? std::nullopt : DeviceOfNearestExisting(homeTrash_);
  if (homeDevice == id.Device) {
    MakeFolders(homeTrash_);
    trash = OpenTrashFolder(UniqueFd(OpenRetrying(AT_FDCWD, homeTrash_.c_str(), OpenFolderFlags)),
                            homeTrash_, id.Device);
  } else if (const auto realFolder = RealPathOf(from.get())) {
    const std::string top = TopDirectory(*realFolder, id.Device);
    trash = OpenTopTrash(top, uid_, id.Device);
    // realFolder lies under top, which the walk up found as one of its prefixes.
    const std::string real = Join(*realFolder, name);
    recorded = real.substr(top == RootPath ? 1 : top.size() + 1);
  }
  if (!trash) return std::nullopt;
  const std::string info = TrashInfoText(recorded, now_());

  for (int n = 1; n <= MaxNameTries; ++n) {
    const std::string trashName = CandidateName(name, n);
    struct stat st {};
    if (fstatat(trash->Files.get(), trashName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
    if (errno != ENOENT) return std::nullopt;
    const std::string infoName = trashName + InfoExtension;
    const InfoWrite written = WriteInfo(trash->Info.get(), infoName, info);
    if (written == InfoWrite::NameTaken) continue;
    if (written == InfoWrite::Failed) return std::nullopt;
    const int err =
        MoveWithoutReplacing(from.get(), name.c_str(), trash->Files.get(), trashName.c_str());
    if (err == 0) {
      return TrashedFile{directory + name, Join(Join(trash->Path, FilesFolder), trashName),
                         Join(Join(trash->Path, InfoFolder), infoName), id};
    }
    unlinkat(trash->Info.get(), infoName.c_str(), 0);
    if (err != EEXIST) return std::nullopt;  // taken meanwhile: try the next name
  }
  return std::nullopt;
}

bool Trash::Restore(const ProjectDirectory& project, const TrashedFile& record,
                    FileStamp* restored) const {
  const std::size_t cut = record.OriginalPath.rfind(PathDelimiter);
  const std::size_t trashCut = record.TrashedPath.rfind(PathDelimiter);
  if (cut == std::string::npos || trashCut == std::string::npos) return false;
  const std::string name = record.OriginalPath.substr(cut + 1);
  const std::string trashName = record.TrashedPath.substr(trashCut + 1);
  const UniqueFd to = project.OpenDirectory(record.OriginalPath.substr(0, cut + 1));
  const UniqueFd files(
      OpenRetrying(AT_FDCWD, record.TrashedPath.substr(0, trashCut).c_str(), OpenOwnFolderFlags));
  if (!to.valid() || !files.valid() ||
      !ProjectDirectory::IsListedFile(files.get(), trashName, record.Id) ||
      MoveWithoutReplacing(files.get(), trashName.c_str(), to.get(), name.c_str()) != 0) {
    return false;
  }
  // The file is back; an info that outlived it would only be ignored.
  unlink(record.InfoPath.c_str());
  if (restored != nullptr) *restored = ProjectDirectory::StampNow(to.get(), name);
  return true;
}

}  // namespace platform

#pragma once
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// Plain file-system services of the platform layer: the existence test, the
// outright deletion, and reading a file in blocks with the error texts that
// the program reports.
namespace platform {

// An input/output error; what() is the text the user sees: the path it
// concerns (when known), ": " and the error's own text, such as
// "/site/admin/: File access denied". Text() is the error's own text alone.
class IoError : public std::runtime_error {
 public:
  explicit IoError(const std::string& text) : std::runtime_error(text), text_(text) {}
  IoError(const std::string& text, const std::string& path)
      : std::runtime_error(path + ": " + text), text_(text), path_(path) {}

  const std::string& Text() const { return text_; }
  const std::string& Path() const { return path_; }

 private:
  std::string text_;
  std::string path_;
};

// True when text can name a file at all: no NUL byte (the system would end
// the path there, so that it named another file) and shorter than the
// system's path limit. Any other directory text is an invalid directory.
bool IsValidPathText(const std::string& text);

// True when path names an existing directory (links to directories count);
// false for a text that is not IsValidPathText.
bool DirectoryExists(const std::string& path);

// Deletes the file at path outright (unlink). Returns false when it could not.
bool DeleteFileA(const std::string& path);

// The user-facing text of an errno value from opening or reading a file.
std::string IoErrorText(int err);

// The folder of the last file a reader opened, held open (O_PATH) by the
// reader, so that the next file in the same folder is found by its name
// alone instead of by a walk of its whole path. A folder replaced while it
// is held is not followed: its files are looked for in the folder as it was.
// Owned by one thread; the folder is let go with it.
class FolderHandle {
 public:
  FolderHandle() = default;
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // Pins the file at path (O_PATH): through the held folder where path lies
  // in it, else through its own folder, now held; by the whole path when
  // that folder cannot be opened (its error is then the file's). Returns the
  // descriptor, or -1 with errno set.
  int Pin(const std::string& path);

 private:
  std::string folder_;  // with its trailing '/'
  int fd_ = -1;
};

// A regular file opened for reading only. Construction throws IoError
// (naming the path) when the file cannot be opened, is anything but a
// regular file (a directory, FIFO or device), or lies on a pseudo file system
// (IsPseudoFileSystem): those are "File access denied", and none of them is
// ever opened for reading, so none can block the open. Read throws IoError on
// a read failure.
//
// A file is read at most to the size it had when it was opened: a file that
// grows while it is read (or one whose size says nothing of its contents)
// never makes the read go on without end.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  // The same, the file found through folders (see FolderHandle).
  InputFile(const std::string& path, FolderHandle& folders);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to size bytes into buffer; returns 0 at the end of the file,
  // or once the size it had at the open has been read.
  std::size_t Read(char* buffer, std::size_t size);
  // Whether the size it had at the open has been read: Read returns 0 now.
  bool AtEnd() const { return left_ == 0; }
  // The bytes still to read of the size it had at the open.
  std::uint64_t Left() const { return left_; }

 private:
  void Open(int pinned);

  int fd_ = -1;
  std::string path_;
  std::uint64_t left_ = 0;  // bytes still to read of the size at the open
};

// True for the file systems type (statfs's f_type) whose files are the
// kernel's views rather than stored contents (proc, sysfs, debugfs, tracefs,
// cgroup, securityfs, pstore, bpf, configfs and their like): reading one can
// run through an endless or enormous stream (/proc/self/pagemap), block for
// ever (/proc/kmsg) or act on the system. A site's page is never one of
// them. (devtmpfs reports tmpfs's type; its devices are no regular files and
// are refused as such.)
bool IsPseudoFileSystem(std::int64_t type);

// True when what path leads to (links followed) lies on a pseudo file system;
// false when it cannot be told.
bool LiesOnPseudoFileSystem(const std::string& path);

}  // namespace platform

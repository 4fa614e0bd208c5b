#pragma once
#include <cstddef>
#include <stdexcept>
#include <string>

// Plain file-system services of the platform layer: the existence test, the
// outright deletion, and reading a file in blocks with the error texts that
// the program reports.
namespace platform {

// An input/output error; what() is the text the user sees, such as
// "File not found" or "File access denied".
class IoError : public std::runtime_error {
 public:
  explicit IoError(const std::string& text) : std::runtime_error(text) {}
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

// A regular file opened for reading only. Construction throws IoError when
// the file cannot be opened or is anything but a regular file (a directory,
// FIFO or device is "File access denied", and never blocks the open); Read
// throws IoError on a read failure.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads up to size bytes into buffer; returns 0 at the end of the file.
  std::size_t Read(char* buffer, std::size_t size);

 private:
  int fd_;
};

}  // namespace platform

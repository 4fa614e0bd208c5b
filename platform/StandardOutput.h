#pragma once
#include <array>
#include <cstddef>
#include <streambuf>

// Standard output of a command-line program, as a stream buffer that writes
// file descriptor 1 itself and remembers why a write failed: a full disk, or
// a reader that closed the pipe. The program's usual ending on a closed pipe
// (SIGPIPE) is turned off from the construction on, for the whole process,
// so that a closed pipe is an EPIPE error the program reports. After the
// first failure every later write fails too, so the stream's state tells the
// caller. Flushed on sync and on destruction. One per process, on the
// thread that writes the output.
namespace platform {

class StandardOutput : public std::streambuf {
 public:
  StandardOutput();
  ~StandardOutput() override;
  StandardOutput(const StandardOutput&) = delete;
  StandardOutput& operator=(const StandardOutput&) = delete;

  // The errno of the first failed write; 0 while none failed.
  int Error() const { return error_; }

 protected:
  int_type overflow(int_type ch) override;
  int sync() override;

 private:
  // Writes the buffered bytes out; false (Error() set) when that fails.
  bool Drain();

  std::array<char, 65536> buffer_{};
  int error_ = 0;
};

}  // namespace platform

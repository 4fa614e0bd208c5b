#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

// Another process holding a write lease on a file: until it lets go (or the
// kernel's lease-break time, 45 s by default, runs out) every open of the
// file blocks, as it does while an editor or a sync client holds it.
namespace testsupport {

class LeaseHolder {
 public:
  explicit LeaseHolder(const std::string& path) {
    int ready[2], release[2];
    if (pipe(ready) != 0 || pipe(release) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls: the parent may have threads.
      close(ready[0]);
      close(release[1]);
      signal(SIGIO, SIG_IGN);  // the lease-break notice would end the holder
      const int fd = open(path.c_str(), O_RDONLY);
      const char ok = fd >= 0 && fcntl(fd, F_SETLEASE, F_WRLCK) == 0 ? 1 : 0;
      (void)!write(ready[1], &ok, 1);
      char byte;
      (void)!read(release[0], &byte, 1);
      _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    release_ = release[1];
    char ok = 0;
    held_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
    close(ready[0]);
  }
  ~LeaseHolder() { Release(); }
  LeaseHolder(const LeaseHolder&) = delete;
  LeaseHolder& operator=(const LeaseHolder&) = delete;

  // Whether the lease was taken.
  bool Held() const { return held_; }
  // Lets go of the lease; the holder ends.
  void Release() {
    if (pid_ <= 0) return;
    close(release_);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool held_ = false;
};

}  // namespace testsupport

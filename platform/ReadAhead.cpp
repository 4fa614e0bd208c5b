#include "platform/ReadAhead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <utility>

namespace platform {

namespace {

// Whether the byte at offset of fd is in the page cache: a read that would
// have to wait for the disk is refused instead.
bool Cached(int fd, off_t offset) {
  char byte = 0;
  iovec io{&byte, 1};
  return ::preadv2(fd, &io, 1, offset, RWF_NOWAIT) == 1;
}

struct TAnnounced {
  std::size_t size = 0;  // 0 when it cannot be opened
  bool cached = false;   // its first and last bytes were in the page cache
};

// Starts reading the file at path into the page cache, unless its first and
// last bytes are there already (announcing a cached file only costs the
// kernel a walk over its pages).
TAnnounced Announce(const std::string& path) {
  TAnnounced announced;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return announced;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    announced.size = static_cast<std::size_t>(st.st_size);
    announced.cached = st.st_size == 0 || (Cached(fd, 0) && Cached(fd, st.st_size - 1));
    if (!announced.cached) ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
  }
  ::close(fd);
  return announced;
}

}  // namespace

TReadAhead::TReadAhead(std::vector<std::string> paths)
    : paths_(std::move(paths)), sizes_(paths_.size(), 0) {
  if (paths_.size() > 1) thread_ = std::thread([this] { Run(); });
}

TReadAhead::~TReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void TReadAhead::Reached(std::size_t index) {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index + 1 <= reached_) return;
    reached_ = index + 1;
    // The helper keeps Ahead files announced: waking it every Ahead / 2
    // files still leaves at least half of them ahead, at a fraction of the
    // wake-ups (which cost more than a warm file's read). While it only
    // probes now and then, it is woken as seldom.
    const std::size_t every = cachedRun_ >= CachedRun ? ProbeEvery * Ahead / 2 : Ahead / 2;
    if (woken_ != 0 && reached_ < woken_ + every) return;
    woken_ = reached_;
  }
  wake_.notify_one();
}

void TReadAhead::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Whether the next path lies within Ahead files and AheadBytes bytes of
    // the reader's place (the file being read counts as passed).
    auto due = [&] {
      // Files the reader has passed already are not worth announcing.
      if (next_ < reached_) next_ = reached_;
      if (reached_ == 0 || next_ >= paths_.size()) return false;
      if (next_ - reached_ >= Ahead) return false;
      std::size_t bytes = 0;
      for (std::size_t k = reached_; k < next_; ++k) bytes += sizes_[k];
      return bytes < AheadBytes;
    };
    wake_.wait(lock, [&] { return stop_ || due(); });
    if (stop_) return;
    const std::size_t k = next_++;
    // Once a run of files was in the page cache already, only one file in
    // ProbeEvery is looked at, until one is not: the opens of a warm site's
    // files would only add to the reader's own.
    if (cachedRun_ >= CachedRun && k % ProbeEvery != 0) continue;
    lock.unlock();
    const TAnnounced announced = Announce(paths_[k]);
    lock.lock();
    sizes_[k] = announced.size;
    cachedRun_ = announced.cached ? cachedRun_ + 1 : 0;
  }
}

}  // namespace platform

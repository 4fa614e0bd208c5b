#pragma once
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

// TReadAhead: announces to the kernel, a few files ahead of a reader that
// goes through a known list of files in order, that those files are about to
// be read, so that on a cold page cache the disk fetches the next files
// while the reader works on the current one.
//
// How: a helper thread opens each announced file, calls
// posix_fadvise(POSIX_FADV_WILLNEED) over the whole of it (which starts the
// reads into the page cache and returns) and closes it again. The thread, not
// the reader, waits for the opens, which on a cold cache read the folders
// and the file's inode from the disk. It keeps at most Ahead files and
// AheadBytes bytes announced beyond the reader's place, so that read-ahead
// never pushes the reader's own files out of a small cache. A file that
// cannot be opened is skipped; the reader meets the error itself. After
// CachedRun files in a row that were in the page cache already, it looks
// at one file in ProbeEvery only, until it meets one that is not: on a warm
// cache its opens would only cost.
//
// Owned by the reader; Reached is called from the reader's thread only.
class TReadAhead {
 public:
  static constexpr std::size_t Ahead = 8;
  static constexpr std::size_t AheadBytes = std::size_t{64} << 20;
  static constexpr std::size_t CachedRun = 16;
  static constexpr std::size_t ProbeEvery = 8;

  // paths: the files in the order they will be read. Nothing is announced
  // before the first Reached.
  explicit TReadAhead(std::vector<std::string> paths);
  // Stops the helper thread; announcements in flight finish first.
  ~TReadAhead();
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  // The reader is about to read paths[index]: announces the files after it.
  void Reached(std::size_t index);

 private:
  void Run();

  const std::vector<std::string> paths_;
  std::vector<std::size_t> sizes_;  // by path, once announced
  std::mutex mutex_;
  std::condition_variable wake_;
  std::size_t reached_ = 0;  // the reader's place plus one (0: not started)
  std::size_t next_ = 0;     // the next path to announce
  std::size_t woken_ = 0;    // reached_ when the helper was last woken
  std::size_t cachedRun_ = 0;  // files in a row found in the page cache
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace platform

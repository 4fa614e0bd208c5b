#include "analysis/ListingPrefetch.h"

#include <algorithm>
#include <thread>

#include "analysis/DirectoryScan.h"
#include "platform/FileSystem.h"

namespace analysis {

TListingPrefetch::TListingPrefetch(platform::DirectorySource& source,
                                   std::unique_ptr<platform::DirectorySource> twin,
                                   const TScanFilter& filter, const std::string& root)
    : source_(source), state_(std::make_shared<State>(std::move(twin), filter)) {
  state_->waiting.push_back(root);
  std::thread([state = state_] { state->Run(); }).detach();
}

TListingPrefetch::~TListingPrefetch() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
  }
  state_->changed.notify_all();
}

void TListingPrefetch::State::List(const std::string& dir, platform::DirectorySource& source,
                                   bool front, std::unique_lock<std::mutex>& lock) {
  listed[dir];  // being listed
  lock.unlock();
  Listed result;
  std::vector<std::string> below;  // the subfolders to list, in the scan's order
  try {
    result.entries = ReadListing(dir, source);
    for (const platform::DirEntry& entry : result.entries) {
      if ((entry.Attr & platform::faDirectory) != 0 &&
          !filter.LeavesOut(dir, entry, TWalk::Listing)) {
        below.push_back(dir + entry.Name + platform::PathDelimiter);
      }
    }
  } catch (...) {
    result.entries.clear();
    below.clear();
    result.error = std::current_exception();
  }
  lock.lock();
  result.done = true;
  listed[dir] = std::move(result);
  // Depth first: a folder's subfolders come right after it.
  waiting.insert(front ? waiting.begin() : waiting.end(), below.begin(), below.end());
  changed.notify_all();
}

void TListingPrefetch::State::Run() {
  std::unique_lock<std::mutex> lock(mutex);
  for (;;) {
    changed.wait(lock, [&] { return stop || !waiting.empty(); });
    if (stop) return;
    const std::string dir = std::move(waiting.back());
    waiting.pop_back();
    List(dir, *twin, false, lock);
  }
}

std::vector<platform::DirEntry> TListingPrefetch::Take(const std::string& dir) {
  State& s = *state_;
  std::unique_lock<std::mutex> lock(s.mutex);
  if (s.listed.count(dir) == 0) {
    // Not started: listed here (also a folder that no listing handed on).
    const auto at = std::find(s.waiting.begin(), s.waiting.end(), dir);
    if (at != s.waiting.end()) s.waiting.erase(at);
    s.List(dir, source_, true, lock);
  }
  s.changed.wait(lock, [&] { return s.listed[dir].done; });
  Listed result = std::move(s.listed[dir]);
  s.listed.erase(dir);
  lock.unlock();
  if (result.error) std::rethrow_exception(result.error);
  return std::move(result.entries);
}

}  // namespace analysis

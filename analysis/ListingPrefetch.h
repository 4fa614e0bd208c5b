#pragma once
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "analysis/ScanFilter.h"
#include "platform/DirectoryListing.h"

// The listings of a tree's folders, read on a helper thread while the scan
// takes them in its own order, so that two cores examine the entries (a
// stat each, most of a scan's time) where the scan alone would use one.
//
// The scan asks for each folder's listing in turn (Take). Every folder
// listed, by either thread, hands its subfolders on as folders to list; the
// helper takes them from the far end, the folders the scan reaches last,
// and the scan lists a folder itself when the helper has not started it.
// What a listing throws reaches the scan when it takes that folder, as if
// it had listed it there. The helper lists nothing that the filter leaves
// out, and stops once the scan is done with the tree (a scan that stops
// early, at a full table, leaves the rest unread).
//
// The helper lists through a source of its own (DirectorySource::Twin), so
// that a listing it is blocked in (a folder on a hung network share) holds
// nothing of the scan's: the scan never waits for it to end.
//
// Owned by one scan, on its thread.
namespace analysis {

class TListingPrefetch {
 public:
  // Starts listing below root (which ends in the path delimiter) through
  // twin, while the scan lists through source.
  TListingPrefetch(platform::DirectorySource& source,
                   std::unique_ptr<platform::DirectorySource> twin, const TScanFilter& filter,
                   const std::string& root);
  // Tells the helper to stop after the listing it is in; does not wait.
  ~TListingPrefetch();
  TListingPrefetch(const TListingPrefetch&) = delete;
  TListingPrefetch& operator=(const TListingPrefetch&) = delete;

  // The entries of dir as ReadListing gives them without a filter (the
  // scan applies its own); empty when dir is gone; throws what its listing
  // threw.
  std::vector<platform::DirEntry> Take(const std::string& dir);

 private:
  struct Listed {
    bool done = false;  // else being listed
    std::vector<platform::DirEntry> entries;
    std::exception_ptr error;
  };
  // What the helper shares with the scan; the helper holds it until it ends.
  struct State {
    State(std::unique_ptr<platform::DirectorySource> ownSource, TScanFilter ownFilter)
        : twin(std::move(ownSource)), filter(std::move(ownFilter)) {}
    void Run();
    // Lists dir through source (mutex not held meanwhile) and files the
    // result, its subfolders in front of the waiting ones or behind them.
    void List(const std::string& dir, platform::DirectorySource& source, bool front,
              std::unique_lock<std::mutex>& lock);

    const std::unique_ptr<platform::DirectorySource> twin;
    const TScanFilter filter;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::string> waiting;       // to list, in the scan's order
    std::map<std::string, Listed> listed;  // listed or being listed
    bool stop = false;
  };

  platform::DirectorySource& source_;
  std::shared_ptr<State> state_;
};

}  // namespace analysis

#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/DirectoryListing.h"

// The real file system with every listing in name order, so that tests know
// which files the table holds and in which order the analysis reads them.
namespace testsupport {

class SortedSource : public platform::DirectorySource {
 public:
  std::unique_ptr<platform::DirectoryListing> Open(const std::string& dir) override {
    auto real = real_.Open(dir);
    if (!real) return nullptr;
    auto listing = std::make_unique<Listing>();
    for (platform::DirEntry e; real->Next(e);) listing->entries.push_back(e);
    std::sort(listing->entries.begin(), listing->entries.end(),
              [](const auto& a, const auto& b) { return a.Name < b.Name; });
    return listing;
  }

 private:
  struct Listing : platform::DirectoryListing {
    std::vector<platform::DirEntry> entries;
    std::size_t next = 0;
    bool Next(platform::DirEntry& entry) override {
      if (next == entries.size()) return false;
      entry = entries[next++];
      return true;
    }
  };
  platform::PosixDirectorySource real_;
};

}  // namespace testsupport

#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/DirectoryListing.h"

namespace testsupport {

// One flat listing of made-up files, whatever is on disk.
class FlatSource : public platform::DirectorySource {
 public:
  explicit FlatSource(std::vector<std::string> names) : names_(std::move(names)) {}
  std::unique_ptr<platform::DirectoryListing> Open(const std::string&) override {
    return std::make_unique<Listing>(names_);
  }

 private:
  class Listing : public platform::DirectoryListing {
   public:
    explicit Listing(const std::vector<std::string>& names) : names_(names) {}
    bool Next(platform::DirEntry& entry) override {
      if (next_ == names_.size()) return false;
      entry = {names_[next_++], platform::faArchive};
      return true;
    }

   private:
    const std::vector<std::string>& names_;
    std::size_t next_ = 0;
  };
  std::vector<std::string> names_;
};

}  // namespace testsupport

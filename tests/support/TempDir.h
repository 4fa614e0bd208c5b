#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

// A fresh directory under the system's temp folder, removed with everything
// in it when the object goes. Dir() ends in the path delimiter.
namespace testsupport {

class TempDir {
 public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quilmere-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Dir() const { return path_ + "/"; }

  // Writes a file (creating parent folders) relative to Dir().
  std::string Write(const std::string& relative, const std::string& content = "x") const {
    return WriteFile((std::filesystem::path(path_) / relative).string(), content);
  }
  // Writes a file at an absolute path, creating its parent folders.
  static std::string WriteFile(const std::string& path, const std::string& content = "x") {
    const std::filesystem::path full(path);
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full.string();
  }

 private:
  std::string path_;
};

}  // namespace testsupport

#pragma once
#include <string>

#include "tests/support/TempDir.h"

// Application files of nothing but mapping aliases: files of them in
// d0/ .. d<files-1>/, each of bytes bytes (about 29000 aliases a MiB).
namespace testsupport {

inline void WriteAliasFlood(const TempDir& tmp, int files, std::size_t bytes = 1u << 20) {
  for (int f = 0; f < files; ++f) {
    std::string text;
    for (int k = 0;; ++k) {
      const std::string line = "this.mappings[\"/a" + std::to_string(k) + "\"]=\"/f" +
                               std::to_string(f) + "\";\n";
      if (text.size() + line.size() > bytes) break;
      text += line;
    }
    tmp.Write("d" + std::to_string(f) + "/Application.cfc", text);
  }
}

}  // namespace testsupport

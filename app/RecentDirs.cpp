#include "app/RecentDirs.h"

#include "platform/AsciiText.h"
#include "platform/FileSystem.h"

namespace app {

std::string RecentDirName(int n) { return "MRU" + std::to_string(n); }

std::string ReadRecentDir(platform::RegistryKey& key, int n) {
  std::string dir;
  try {
    dir = key.ReadString(RecentDirName(n));
  } catch (const platform::RegistryError&) {
    return {};  // a value of another type: only a string is a directory
  }
  return platform::IsValidPathText(dir) ? dir : std::string();
}

bool UpdateRecentDirs(platform::RegistryKey& key, const std::string& dir) {
  using platform::UpperAscii;
  const std::string upperDir = UpperAscii(dir);

  // Stops at the first free slot, at the slot holding dir, or at 11.
  int n = 1;
  while (!platform::IsBlankText(ReadRecentDir(key, n)) && n <= MaxRecentDirs &&
         UpperAscii(ReadRecentDir(key, n)) != upperDir) {
    ++n;
  }
  const bool added = platform::IsBlankText(ReadRecentDir(key, n));

  // Shift down; nothing is ever written beyond MRU10, and the slot that held
  // dir is overwritten by the one above it.
  for (int k = n - 1; k >= 1; --k) {
    if (k == MaxRecentDirs) continue;
    const std::string value = ReadRecentDir(key, k);
    if (UpperAscii(value) != upperDir) key.WriteString(RecentDirName(k + 1), value);
  }
  key.WriteString(RecentDirName(1), dir);
  return added;
}

}  // namespace app

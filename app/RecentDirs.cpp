#include "app/RecentDirs.h"

#include "platform/AsciiText.h"

namespace app {

std::string RecentDirName(int n) { return "MRU" + std::to_string(n); }

bool UpdateRecentDirs(platform::RegistryKey& key, const std::string& dir) {
  using platform::UpperAscii;
  const std::string upperDir = UpperAscii(dir);

  // Stops at the first free slot, at the slot holding dir, or at 11.
  int n = 1;
  while (!platform::IsBlankText(key.ReadString(RecentDirName(n))) && n <= MaxRecentDirs &&
         UpperAscii(key.ReadString(RecentDirName(n))) != upperDir) {
    ++n;
  }
  const bool added = platform::IsBlankText(key.ReadString(RecentDirName(n)));

  // Shift down; nothing is ever written beyond MRU10, and the slot that held
  // dir is overwritten by the one above it.
  for (int k = n - 1; k >= 1; --k) {
    if (k == MaxRecentDirs) continue;
    const std::string value = key.ReadString(RecentDirName(k));
    if (UpperAscii(value) != upperDir) key.WriteString(RecentDirName(k + 1), value);
  }
  key.WriteString(RecentDirName(1), dir);
  return added;
}

}  // namespace app

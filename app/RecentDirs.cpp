#include "app/RecentDirs.h"

#include "analysis/ReferenceAnalysis.h"

namespace app {

namespace {
// Removes blanks and control characters (bytes up to 0x20) at both ends.
std::string Trim(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}
}  // namespace

std::string RecentDirName(int n) { return "MRU" + std::to_string(n); }

bool UpdateRecentDirs(platform::RegistryKey& key, const std::string& dir) {
  using analysis::UpperAscii;
  const std::string upperDir = UpperAscii(dir);

  // Stops at the first free slot, at the slot holding dir, or at 11.
  int n = 1;
  while (!Trim(key.ReadString(RecentDirName(n))).empty() && n <= MaxRecentDirs &&
         UpperAscii(key.ReadString(RecentDirName(n))) != upperDir) {
    ++n;
  }
  const bool added = Trim(key.ReadString(RecentDirName(n))).empty();

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

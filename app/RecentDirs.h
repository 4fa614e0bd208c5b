#pragma once
#include <string>

#include "platform/RegistryKey.h"

// The recent project directories, "MRU1" (newest) to "MRU10" in the program's
// registry key. Names are compared after upper-casing ASCII letters only.
namespace app {

constexpr int MaxRecentDirs = 10;

// The value name of slot n: "MRU" followed by n in decimal.
std::string RecentDirName(int n);

// The directory in slot n; empty when the slot is free or holds what no
// directory can be (a value of another type, a text with a NUL byte or
// longer than the path limit, as a hand-edited or damaged settings file may
// have): such an entry counts as a free slot, so it is never shown and the
// next update writes over it. Registry errors other than the type propagate.
std::string ReadRecentDir(platform::RegistryKey& key, int n);

// Makes dir the most recent directory: a directory already listed moves to
// MRU1 and the ones above its old slot move down one place; a new one goes to
// MRU1, the others move down and the tenth drops out. Returns true when dir
// was not in the list (the caller adds it to the directory box's list).
// The writes go to key, which the caller closes; registry errors propagate.
bool UpdateRecentDirs(platform::RegistryKey& key, const std::string& dir);

}  // namespace app

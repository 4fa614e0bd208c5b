#pragma once
#include <QJsonObject>
#include <QString>
#include <memory>

#include "platform/RegistryKey.h"

// The registry of the current user: one JSON file (default
// $XDG_CONFIG_HOME/Orvanta/Quilmere/registry.json, else under ~/.config)
// holding keys by path, each an object of values: JSON integers are 32-bit
// integer values, JSON strings are string values. The file location is
// injectable for tests. GUI thread only.
//
// The file is read once when a key is opened and written once, atomically,
// when the key is closed. The user's recent directories live in it, so it is
// never thrown away: a file that does not parse, is larger than
// MaxRegistryFileBytes or is not a JSON object is moved aside to
// "registry.json.bad" (replacing an older one) before a key that may create
// values is opened, and reads as no keys. A settings file that is a symbolic
// link stays one: its target is written when it is a registry file already;
// otherwise link and target are left alone and nothing is saved.
namespace platform {

// A larger registry file is not read at all; it counts as one that does not
// parse.
constexpr qint64 MaxRegistryFileBytes = 1 << 20;

// The default location of the registry file.
QString DefaultRegistryPath();

class Registry {
 public:
  explicit Registry(QString filePath = DefaultRegistryPath());

  // Opens the key at path (e.g. "\\Software\\Orvanta\\Quilmere"), creating it
  // in memory when canCreate (it is stored with the key's Close()); nullptr
  // when the key cannot be opened: it is missing and !canCreate, the folder
  // of the file cannot be made, the file cannot be read, or a file that does
  // not parse cannot be moved aside.
  std::unique_ptr<RegistryKey> OpenKey(const QString& path, bool canCreate);

  QString FilePath() const { return filePath_; }

 private:
  QString filePath_;
};

}  // namespace platform

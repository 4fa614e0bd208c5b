#pragma once
#include <QJsonObject>
#include <QString>
#include <memory>

#include "platform/RegistryKey.h"

// The registry of the current user: one JSON file (default
// $XDG_CONFIG_HOME/Orvanta/Quilmere/registry.json, else under ~/.config)
// holding keys by path, each an object of values: JSON integers are 32-bit
// integer values, JSON strings are string values. Every write saves the whole
// file atomically; a file that cannot be parsed reads as empty keys. The
// file location is injectable for tests. GUI thread only.
namespace platform {

// The default location of the registry file.
QString DefaultRegistryPath();

class Registry {
 public:
  explicit Registry(QString filePath = DefaultRegistryPath());

  // Opens the key at path (e.g. "\\Software\\Orvanta\\Quilmere"), creating it
  // when canCreate; nullptr when the key cannot be opened (the folder of the
  // file cannot be made, the file cannot be read).
  std::unique_ptr<RegistryKey> OpenKey(const QString& path, bool canCreate);

  QString FilePath() const { return filePath_; }

 private:
  QString filePath_;
};

}  // namespace platform

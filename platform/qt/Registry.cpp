#include "platform/qt/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>
#include <cstdio>
#include <limits>

namespace platform {

QString DefaultRegistryPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
  return base + "/Orvanta/Quilmere/registry.json";
}

namespace {

enum class FileState { Missing, Parsed, DoesNotParse, Unreadable };

// Reads the registry file at path (links followed) into root. The bytes are
// the user's to edit, so they are read only within the size budget and taken
// only when they are one JSON object.
FileState LoadFile(const QString& path, QJsonObject& root) {
  const QFileInfo info(path);
  if (!info.exists()) return FileState::Missing;
  // A folder, a pipe or a device is nothing this program wrote; a pipe would
  // block the read besides.
  if (!info.isFile()) return FileState::Unreadable;
  if (info.size() > MaxRegistryFileBytes) return FileState::DoesNotParse;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return FileState::Unreadable;
  // The file may have grown since its size was taken.
  const QByteArray bytes = file.read(MaxRegistryFileBytes + 1);
  if (file.error() != QFileDevice::NoError) return FileState::Unreadable;
  if (bytes.size() > MaxRegistryFileBytes) return FileState::DoesNotParse;
  QJsonParseError error;
  const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
  if (error.error != QJsonParseError::NoError || !doc.isObject()) return FileState::DoesNotParse;
  root = doc.object();
  return FileState::Parsed;
}

// One key of the loaded file. Writes change the copy in memory; Close()
// writes the whole file back through QSaveFile, so a failed save leaves the
// old file whole. A key that must not be saved (behind a link that is left
// alone) fails every Close() that has something to store.
class JsonKey : public RegistryKey {
 public:
  JsonKey(QString savePath, QString keyPath, QJsonObject root, bool canSave)
      : savePath_(std::move(savePath)),
        keyPath_(std::move(keyPath)),
        root_(std::move(root)),
        canSave_(canSave) {
    const QJsonValue key = root_.value(keyPath_);
    // A key that is not in the file yet is created with the first save.
    unsaved_ = !key.isObject();
    values_ = key.toObject();
  }

  std::int32_t ReadInteger(const std::string& name) override {
    const QJsonValue value = values_.value(QString::fromStdString(name));
    if (value.isUndefined()) throw RegistryError("Failed to get data for '" + name + "'");
    const double number = value.toDouble();
    // The range is checked on the double itself: casting a value out of the
    // integer's range (1e300, infinity) to an integer is undefined.
    if (!value.isDouble() || !(number >= std::numeric_limits<std::int32_t>::min() &&
                               number <= std::numeric_limits<std::int32_t>::max())) {
      throw RegistryError("Invalid data type for '" + name + "'");
    }
    const auto integer = static_cast<std::int32_t>(number);
    if (static_cast<double>(integer) != number) {
      throw RegistryError("Invalid data type for '" + name + "'");
    }
    return integer;
  }

  bool HasValue(const std::string& name) override {
    return !values_.value(QString::fromStdString(name)).isUndefined();
  }

  std::string ReadString(const std::string& name) override {
    const QJsonValue value = values_.value(QString::fromStdString(name));
    if (value.isUndefined()) return {};
    if (!value.isString()) throw RegistryError("Invalid data type for '" + name + "'");
    return value.toString().toStdString();
  }

  void WriteInteger(const std::string& name, std::int32_t value) override {
    Write(name, QJsonValue(value));
  }
  void WriteString(const std::string& name, const std::string& value) override {
    Write(name, QJsonValue(QString::fromStdString(value)));
  }

  void Close() override {
    if (!unsaved_) return;
    if (!canSave_ || !Save()) {
      throw RegistryError(firstUnsaved_.empty()
                              ? "Failed to create key '" + keyPath_.toStdString() + "'"
                              : "Failed to set data for '" + firstUnsaved_ + "'");
    }
    unsaved_ = false;
    firstUnsaved_.clear();
  }

 private:
  void Write(const std::string& name, const QJsonValue& value) {
    values_.insert(QString::fromStdString(name), value);
    if (firstUnsaved_.empty()) firstUnsaved_ = name;
    unsaved_ = true;
  }

  bool Save() const {
    QJsonObject root = root_;
    root.insert(keyPath_, values_);
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Indented);
    QSaveFile file(savePath_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
      file.cancelWriting();
      return false;
    }
    return file.commit();
  }

  QString savePath_;
  QString keyPath_;
  QJsonObject root_;    // every key of the file as it was loaded
  QJsonObject values_;  // this key, with the writes
  bool canSave_;
  bool unsaved_ = false;
  std::string firstUnsaved_;
};

// Moves a file that does not parse out of the way of the next save.
bool MoveAside(const QString& path) {
  // rename() replaces an older .bad in one step.
  return std::rename(QFile::encodeName(path).constData(),
                     QFile::encodeName(path + QStringLiteral(".bad")).constData()) == 0;
}

}  // namespace

Registry::Registry(QString filePath) : filePath_(std::move(filePath)) {}

std::unique_ptr<RegistryKey> Registry::OpenKey(const QString& path, bool canCreate) {
  const QFileInfo info(filePath_);
  QJsonObject root;
  QString savePath = filePath_;
  bool canSave = true;
  if (info.isSymLink()) {
    // The user made the link; saving on the link's own path would replace it
    // with a file. Its target is saved in place only when it is a registry
    // file already, since anything else there is not ours to overwrite.
    const QString target = info.canonicalFilePath();  // empty for a dangling link
    if (target.isEmpty() || LoadFile(target, root) != FileState::Parsed) {
      root = QJsonObject();
      canSave = false;
    } else {
      savePath = target;
    }
  } else {
    switch (LoadFile(filePath_, root)) {
      case FileState::Parsed:
        break;
      case FileState::Unreadable:
        return nullptr;
      case FileState::Missing:
        if (canCreate && !QDir().mkpath(info.absolutePath())) return nullptr;
        break;
      case FileState::DoesNotParse:
        // Read-only opens leave the file as it is; one that may save moves it
        // aside first, or does not open at all.
        if (canCreate && !MoveAside(filePath_)) return nullptr;
        root = QJsonObject();
        break;
    }
  }
  if (!canCreate && !root.value(path).isObject()) return nullptr;
  return std::make_unique<JsonKey>(savePath, path, std::move(root), canSave);
}

}  // namespace platform

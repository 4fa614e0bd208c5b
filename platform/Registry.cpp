#include "platform/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>
#include <limits>

namespace platform {

QString DefaultRegistryPath() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
  return base + "/Orvanta/Quilmere/registry.json";
}

namespace {

class JsonKey : public RegistryKey {
 public:
  JsonKey(QString filePath, QString keyPath) : filePath_(std::move(filePath)), keyPath_(std::move(keyPath)) {}

  std::int32_t ReadInteger(const std::string& name) override {
    const QJsonValue value = Load().value(keyPath_).toObject().value(QString::fromStdString(name));
    if (value.isUndefined()) throw RegistryError("Failed to get data for '" + name + "'");
    const double number = value.toDouble();
    if (!value.isDouble() || number != static_cast<double>(static_cast<std::int64_t>(number)) ||
        number < std::numeric_limits<std::int32_t>::min() ||
        number > std::numeric_limits<std::int32_t>::max()) {
      throw RegistryError("Invalid data type for '" + name + "'");
    }
    return static_cast<std::int32_t>(number);
  }

  std::string ReadString(const std::string& name) override {
    const QJsonValue value = Load().value(keyPath_).toObject().value(QString::fromStdString(name));
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

  // Creates the key in the file when it is not there yet.
  bool Create() {
    QJsonObject root = Load();
    if (root.contains(keyPath_) && root.value(keyPath_).isObject()) return true;
    root.insert(keyPath_, QJsonObject());
    return Save(root);
  }

  bool Exists() { return Load().value(keyPath_).isObject(); }

 private:
  // A missing or corrupt file reads as no keys at all.
  QJsonObject Load() const {
    QFile file(filePath_);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    return doc.isObject() ? doc.object() : QJsonObject();
  }

  bool Save(const QJsonObject& root) const {
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    return file.commit();
  }

  void Write(const std::string& name, const QJsonValue& value) {
    QJsonObject root = Load();
    QJsonObject key = root.value(keyPath_).toObject();
    key.insert(QString::fromStdString(name), value);
    root.insert(keyPath_, key);
    if (!Save(root)) throw RegistryError("Failed to set data for '" + name + "'");
  }

  QString filePath_;
  QString keyPath_;
};

}  // namespace

Registry::Registry(QString filePath) : filePath_(std::move(filePath)) {}

std::unique_ptr<RegistryKey> Registry::OpenKey(const QString& path, bool canCreate) {
  auto key = std::make_unique<JsonKey>(filePath_, path);
  const QFileInfo info(filePath_);
  if (info.exists() && !info.isReadable()) return nullptr;
  if (canCreate) {
    if (!QDir().mkpath(info.absolutePath())) return nullptr;
    if (!key->Create()) return nullptr;
  } else if (!key->Exists()) {
    return nullptr;
  }
  return key;
}

}  // namespace platform

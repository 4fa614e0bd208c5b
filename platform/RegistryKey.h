#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// One key of the user's registry: typed values (32-bit integers and strings)
// under names. Reads and writes work on the key as it was loaded when it was
// opened; Close() saves the writes in one go. Qt-free interface; Registry.h
// has the JSON-file store behind it, tests may use their own.
namespace platform {

class RegistryError : public std::runtime_error {
 public:
  explicit RegistryError(const std::string& text) : std::runtime_error(text) {}
};

class RegistryKey {
 public:
  // Writes that no Close() saved are dropped with the key.
  virtual ~RegistryKey() = default;
  // A missing integer, or a value of the other type, throws RegistryError.
  virtual std::int32_t ReadInteger(const std::string& name) = 0;
  // True when the key holds a value of that name, of either type.
  virtual bool HasValue(const std::string& name) = 0;
  // A missing string reads as empty; a value of the other type throws.
  virtual std::string ReadString(const std::string& name) = 0;
  // A write is seen by later reads of this key and stored by Close().
  virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
  virtual void WriteString(const std::string& name, const std::string& value) = 0;
  // Stores every write since the last successful Close() at once (nothing
  // when there is none). A failure throws RegistryError naming the first
  // unsaved value and leaves the stored key as it was.
  virtual void Close() = 0;
};

}  // namespace platform

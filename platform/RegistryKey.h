#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// One key of the user's registry: typed values (32-bit integers and strings)
// under names. Qt-free interface; Registry.h has the JSON-file store behind
// it, tests may use their own.
namespace platform {

class RegistryError : public std::runtime_error {
 public:
  explicit RegistryError(const std::string& text) : std::runtime_error(text) {}
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // A missing integer, or a value of the other type, throws RegistryError.
  virtual std::int32_t ReadInteger(const std::string& name) = 0;
  // A missing string reads as empty; a value of the other type throws.
  virtual std::string ReadString(const std::string& name) = 0;
  // Each write is saved at once; a failure throws RegistryError and leaves
  // the stored key as it was.
  virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
  virtual void WriteString(const std::string& name, const std::string& value) = 0;
};

}  // namespace platform

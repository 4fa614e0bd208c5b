#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 (FIPS 180-4), fed in pieces; Hex() gives the lowercase digest.
class Sha256 {
 public:
  Sha256();
  void Update(const std::uint8_t* data, std::size_t size);
  std::string Hex();

 private:
  void Block(const std::uint8_t* p);
  std::uint32_t h_[8];
  std::uint8_t buffer_[64];
  std::size_t used_ = 0;
  std::uint64_t total_ = 0;
};

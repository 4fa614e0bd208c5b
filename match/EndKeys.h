#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace match {

// TEndKeys: the vector path's second filter (see EndSearch.h), for the
// places its first filter lets through: whether some live name ends with
// the bytes before a place, judged by their last Length bytes (all of them,
// for a shorter name).
//
// How: each name's key (those bytes, folded, with their count) sits with how
// many live names end so in an open-addressed table; in front of it, a bit
// per hash of the keys that have live names turns most places away with one
// load. The keys are exact, so no common ending of text passes by a hash
// collision. Retiring a name takes it out, so the places of names that no
// longer matter stop here.
//
// Owned by its TEndSearch.
class TEndKeys {
 public:
  static constexpr std::size_t Length = 5;

  // names[k]: the folded name with id k (empty: never found).
  explicit TEndKeys(const std::vector<std::string>& names);
  TEndKeys() = default;  // before the names are known: to be assigned

  // Whether a live name ends with the bytes ending at last (last[0] the last
  // one; have of them at hand, at least one).
  bool Passes(const unsigned char* last, std::size_t have) const;
  // Name id (live until now) no longer counts.
  void Retire(std::uint32_t id);

 private:
  static constexpr std::uint32_t None = UINT32_MAX;
  static std::uint64_t Key(const unsigned char* last, std::size_t length);
  std::uint64_t Bit(std::uint64_t key) const { return (key * 0x9E3779B97F4A7C15ull) >> bitShift_; }
  std::uint32_t Home(std::uint64_t key) const {
    return static_cast<std::uint32_t>(key * 0xC2B2AE3D27D4EB4Full >> 32) & mask_;
  }
  bool KeyPasses(std::uint64_t key) const;

  std::vector<std::uint64_t> keys_;    // 0: an empty slot
  std::vector<std::uint32_t> counts_;  // live names per key
  std::uint32_t mask_ = 0;
  std::vector<std::uint32_t> bitCount_;  // live keys per bit
  std::vector<std::uint64_t> bits_;      // the bits: count above 0
  unsigned bitShift_ = 0;
  std::vector<std::uint32_t> idSlot_;  // by id: its key's slot (None: empty)
  bool shortLength_[Length] = {};      // lengths below Length in use
};

}  // namespace match

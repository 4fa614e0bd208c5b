#include "match/EndKeys.h"

#include <algorithm>

#include "platform/AsciiText.h"

namespace match {

std::uint64_t TEndKeys::Key(const unsigned char* last, std::size_t length) {
  std::uint64_t x = length;
  for (std::size_t j = 0; j < length; ++j) {
    x = x << 8 | static_cast<unsigned char>(platform::UpperAscii(static_cast<char>(*(last - j))));
  }
  return x;
}

TEndKeys::TEndKeys(const std::vector<std::string>& names) {
  // At least sixteen bits per name keep the share of bits set, and so of the
  // places that reach the table by chance, small; the table is at most half
  // full.
  unsigned bits = 12;
  while (bits < 26 && (std::size_t{1} << bits) < 16 * names.size()) ++bits;
  bitShift_ = 64 - bits;
  bitCount_.assign(std::size_t{1} << bits, 0);
  bits_.assign(bitCount_.size() / 64, 0);
  std::size_t slots = 16;
  while (slots < 2 * names.size()) slots *= 2;
  keys_.assign(slots, 0);
  counts_.assign(slots, 0);
  mask_ = static_cast<std::uint32_t>(slots - 1);
  idSlot_.assign(names.size(), None);
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::string& name = names[k];
    if (name.empty()) continue;
    const std::size_t length = std::min(name.size(), Length);
    if (length < Length) shortLength_[length] = true;
    const std::uint64_t key =
        Key(reinterpret_cast<const unsigned char*>(name.data()) + name.size() - 1, length);
    std::uint32_t slot = Home(key);
    while (keys_[slot] != 0 && keys_[slot] != key) slot = (slot + 1) & mask_;
    if (keys_[slot] == 0) {
      keys_[slot] = key;
      const std::uint64_t bit = Bit(key);
      if (bitCount_[bit]++ == 0) bits_[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    ++counts_[slot];
    idSlot_[k] = slot;
  }
}

bool TEndKeys::KeyPasses(std::uint64_t key) const {
  const std::uint64_t bit = Bit(key);
  if ((bits_[bit / 64] >> (bit % 64) & 1) == 0) return false;
  for (std::uint32_t k = Home(key);; k = (k + 1) & mask_) {
    if (keys_[k] == key) return counts_[k] != 0;
    if (keys_[k] == 0) return false;
  }
}

// The key of the last length bytes is the length above those bytes, the
// last byte highest (see Key); with all Length bytes at hand, the shorter
// keys are the full one's highest bytes shifted down, so the bytes are
// folded once.
bool TEndKeys::Passes(const unsigned char* last, std::size_t have) const {
  if (have < Length) {
    for (std::size_t length = 1; length <= have; ++length) {
      if (shortLength_[length] && KeyPasses(Key(last, length))) return true;
    }
    return false;
  }
  const std::uint64_t full = Key(last, Length);
  constexpr std::uint64_t Bytes = (std::uint64_t{1} << (8 * Length)) - 1;
  if (KeyPasses(full)) return true;
  for (std::size_t length = 1; length < Length; ++length) {
    if (!shortLength_[length]) continue;
    const std::uint64_t key =
        std::uint64_t{length} << (8 * length) | (full & Bytes) >> (8 * (Length - length));
    if (KeyPasses(key)) return true;
  }
  return false;
}

void TEndKeys::Retire(std::uint32_t id) {
  const std::uint32_t slot = idSlot_[id];
  if (slot == None || counts_[slot] == 0) return;
  if (--counts_[slot] == 0) {
    const std::uint64_t bit = Bit(keys_[slot]);
    if (--bitCount_[bit] == 0) bits_[bit / 64] &= ~(std::uint64_t{1} << (bit % 64));
  }
}

}  // namespace match

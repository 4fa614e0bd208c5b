#pragma once
#include <cstdint>

// A set of bytes that can be asked about 32 bytes at a time (AVX2): per low
// nibble, a byte whose bits say which high nibbles go with it, for the high
// nibbles 0 to 7 and 8 to 15, each looked up by a byte shuffle.
//
// Built once per run by TCfmlRules; read on the analysis thread.
namespace analysis {

class TByteRows {
 public:
  TByteRows() = default;
  explicit TByteRows(const bool (&has)[256]);

  // Whether Members may be called: the processor has AVX2 and the vector
  // level allows it.
  static bool Usable();
  // Bit i: whether p[i] is in the set, for the 32 bytes at p.
  std::uint32_t Members(const unsigned char* p) const;

 private:
  alignas(16) unsigned char low_[16] = {};   // high nibbles 0 to 7
  alignas(16) unsigned char high_[16] = {};  // 8 to 15
};

}  // namespace analysis

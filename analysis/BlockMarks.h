#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The bytes of a block that the CFML rules look at wherever they stand:
// its "#" and "&" (where computed names start and end) and its line ends
// (for the lines of the reasons), found in one pass over the block instead
// of a search per byte kind, restarted at each of thousands of "#".
//
// Used by TCfmlRules on the analysis thread.
namespace analysis {

struct TBlockMarks {
  std::vector<std::uint32_t> hashes;  // offsets of the "#" in the block, in order
  std::vector<std::uint32_t> amps;    // of the "&"
  std::size_t lineEnds = 0;           // "\n" in the block
  // With AVX2, 32 bytes a step (the matcher's level decides, so that a
  // lower level runs no AVX2 at all), else 16 (or one at a time).
  bool avx2 = false;

  // Fills the marks for the n bytes at p (n below 4 GiB).
  void Scan(const unsigned char* p, std::size_t n);
};

}  // namespace analysis

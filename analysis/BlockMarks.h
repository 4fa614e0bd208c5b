#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The bytes of a block that the CFML rules look at wherever they stand:
// its "#" and "&" (where computed names start and end) and its line ends
// (for the lines of the reasons), found in one pass over the block instead
// of a search per byte kind, restarted at each of thousands of "#".
//
// Used by TCfmlRules on the analysis thread.
namespace analysis {

class TBlockMarks {
 public:
  // With AVX2, 32 bytes a step (the matcher's level decides, so that a
  // lower level runs no AVX2 at all), else 16 (or one at a time).
  bool avx2 = false;

  // Finds the marks of the n bytes at p (n below 4 GiB), forgetting those
  // of the block before.
  void Scan(const unsigned char* p, std::size_t n);
  // The offsets of the "#" in the block, in order; of the "&".
  std::span<const std::uint32_t> Hashes() const { return {hashes_.data(), hashCount_}; }
  std::span<const std::uint32_t> Amps() const { return {amps_.data(), ampCount_}; }
  std::size_t LineEnds() const { return lineEnds_; }

 private:
  // Room for every offset of the block, and some written past the count
  // (the AVX2 pass writes the first two of each step's marks whether there
  // are any or not, so that a step takes no branch on them).
  std::vector<std::uint32_t> hashes_, amps_;
  std::size_t hashCount_ = 0, ampCount_ = 0, lineEnds_ = 0;

  void Add(const unsigned char* p, std::size_t at);
  void ScanBytes(const unsigned char* p, std::size_t from, std::size_t to);
  std::size_t Scan16(const unsigned char* p, std::size_t n);
  std::size_t Scan32(const unsigned char* p, std::size_t n);
};

}  // namespace analysis

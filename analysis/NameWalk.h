#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "match/NameMatcher.h"
#include "platform/BlockReader.h"

namespace analysis {

// What the name matcher met in one block of a text: the places where
// positional names end (the name's id and the offset just past its last
// byte in the block), by their ends (those with one end in the order the
// matcher reported them), and, with the text's last block, the names found
// in the whole text.
struct TBlockNames {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
  bool ended = false;
  std::vector<std::uint32_t> found;
};

// TNameWalk: the name matcher run on the block reader's thread, as each
// block is read, so that the analysis's thread only replays what it met
// (the CFML rules' checks, the marks) while the next blocks are matched.
// Where the matcher is Cheap, the analysis's thread feeds it the blocks
// itself (Block, then End), and nothing else touches it.
//
// The matcher reports every place to it (its sink never declines one);
// the analysis's thread decides which places matter and retires the names
// that no longer do through Retire, which reaches the matcher before a later
// block: until then their places keep coming and the taker skips them, and
// a text's found names may still hold them.
//
// Built on the analysis's thread and then used by one thread alone (the
// reader's, or the analysis's where it is Cheap), except for Retire; held by
// a shared_ptr, since the reader's thread may outlive the analysis (see
// TBlockReader).
class TNameWalk : public match::TMatchSink {
 public:
  // walked[i]: whether file i of the reader's list is matched at all (a
  // file read only for its references is not).
  TNameWalk(match::TNameMatcher matcher, std::vector<bool> walked);

  // The block reader's Prepare: matches the block (folding its letters
  // first where the matcher prefers that) and returns a TBlockNames.
  platform::TBlockReader::Note Block(std::size_t file, unsigned char* data, std::size_t size,
                                     bool last);
  // The names found in file, once its last block went through Block with
  // last false (or none did): for a caller that feeds the blocks itself.
  std::vector<std::uint32_t> End(std::size_t file);
  // From the analysis's thread: name id no longer matters anywhere.
  void Retire(std::uint32_t id);
  // Whether the matcher took the vector path, on which a block costs so
  // little that handing it to another thread costs more than it saves.
  // Before the matcher's thread starts only.
  bool Cheap() const { return matcher_.VectorPath(); }

  bool OnMatch(std::uint32_t id, const unsigned char* end) override;

 private:
  void SortByEnd(std::vector<std::pair<std::uint32_t, std::uint32_t>>& places);

  match::TNameMatcher matcher_;
  const std::vector<bool> walked_;
  std::size_t file_ = SIZE_MAX;  // the text being matched
  // The block being matched and what was met in it.
  const unsigned char* data_ = nullptr;
  TBlockNames* names_ = nullptr;
  std::mutex mutex_;
  std::vector<std::uint32_t> retiring_;
  std::atomic<bool> retiringAny_{false};
  std::vector<std::pair<std::uint32_t, std::uint32_t>> spare_;  // SortByEnd's
};

}  // namespace analysis

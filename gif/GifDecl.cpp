#include "gif/GifDecl.h"

namespace gif {

void TByteBuffer::Add(const std::string& block) { Add(block.data(), block.size()); }

void TByteBuffer::Add(const char* bytes, std::size_t count) {
  bytes_.append(bytes, count);
  ends_.push_back(bytes_.size());
}

std::string TByteBuffer::Block(std::int32_t i) const {
  if (i < 1 || i > BlockCount()) throw EListError(i);
  const std::size_t begin = i == 1 ? 0 : ends_[static_cast<std::size_t>(i - 2)];
  return bytes_.substr(begin, ends_[static_cast<std::size_t>(i - 1)] - begin);
}

void TByteBuffer::Reset() {
  if (ends_.empty()) throw EListError(1);
  blockNumber_ = 1;
  position_ = 0;
}

std::uint8_t TByteBuffer::NextByte() {
  if (blockNumber_ < 1) throw EListError(blockNumber_);
  // Step over the ends of blocks (and over empty blocks).
  while (position_ >= ends_[static_cast<std::size_t>(blockNumber_ - 1)]) {
    if (blockNumber_ >= BlockCount()) throw EListError(blockNumber_ + 1);
    ++blockNumber_;
  }
  return static_cast<std::uint8_t>(bytes_[position_++]);
}

}  // namespace gif

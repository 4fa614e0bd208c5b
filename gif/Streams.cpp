#include "gif/Streams.h"

#include <algorithm>
#include <cstring>

namespace gif {

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  const std::int64_t available = std::max<std::int64_t>(0, Size() - position_);
  const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int64_t TByteViewStream::Read(void* buffer, std::int64_t count) {
  const std::int64_t available = std::max<std::int64_t>(0, size_ - position_);
  const std::int64_t n = std::clamp<std::int64_t>(count, 0, available);
  if (n > 0) std::memcpy(buffer, data_ + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return;
  const auto end = static_cast<std::size_t>(position_ + count);
  if (end > bytes_.size()) bytes_.resize(end);
  std::memcpy(bytes_.data() + position_, buffer, static_cast<std::size_t>(count));
  position_ += count;
}

}  // namespace gif

#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The seekable byte streams the library reads GIFs from and writes frame
// bitmaps to. Reads never fail: they hand over what is there.
namespace gif {

class TStream {
 public:
  virtual ~TStream() = default;
  // Copies up to count bytes from the position on; returns how many came.
  virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
  virtual std::int64_t Position() const = 0;
  virtual void SetPosition(std::int64_t position) = 0;
  virtual std::int64_t Size() const = 0;
};

// A stream over bytes in memory, growing when written past its end.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Position() const override { return position_; }
  void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

  void Write(const void* buffer, std::int64_t count);
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::int64_t position_ = 0;
};

// A read-only stream over bytes that someone else keeps alive for as long
// as the stream is read.
class TByteViewStream : public TStream {
 public:
  TByteViewStream(const void* data, std::int64_t size)
      : data_(static_cast<const char*>(data)), size_(size < 0 ? 0 : size) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Position() const override { return position_; }
  void SetPosition(std::int64_t position) override { position_ = position < 0 ? 0 : position; }
  std::int64_t Size() const override { return size_; }

 private:
  const char* data_;
  std::int64_t size_;
  std::int64_t position_ = 0;
};

}  // namespace gif

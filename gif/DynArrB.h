#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

// Bounds-checked byte arrays for pixel data: TBigByteArray, 1-based bytes on
// one memory block, and TByteArray2D, a row-major matrix over one of them.
// A frame owns its arrays; GetRow results belong to the caller. A failed
// operation changes nothing: every check comes before the first write.
namespace gif {

class EIndexOutOfBounds : public std::runtime_error {
 public:
  EIndexOutOfBounds() : std::runtime_error("Dynamic array index out of bounds") {}
};

class ENotEnoughMemory : public std::runtime_error {
 public:
  explicit ENotEnoughMemory(std::int32_t size);
};

// Raises a plain error (std::runtime_error) with the message.
[[noreturn]] void RaiseError(const std::string& message);

class TBigByteArray {
 public:
  // The bytes start as zero, so that whatever the decoder never reaches
  // reads as colour 0. A negative size, or one no block can be had for,
  // raises ENotEnoughMemory.
  explicit TBigByteArray(std::int32_t size);
  TBigByteArray(const TBigByteArray&) = delete;
  TBigByteArray& operator=(const TBigByteArray&) = delete;
  ~TBigByteArray();

  std::int32_t Size() const { return size_; }
  // Byte index, 1 <= index <= Size(); EIndexOutOfBounds otherwise.
  void SetByte(std::int32_t index, std::uint8_t value);
  std::uint8_t GetByte(std::int32_t index) const;

  // The block itself. It has Slack() writable bytes beyond Size() so that the
  // decoder may copy in fixed-size pieces; they are not part of the array.
  std::uint8_t* Data() { return data_; }
  const std::uint8_t* Data() const { return data_; }
  static constexpr std::int32_t Slack() { return 16; }

 private:
  std::uint8_t* data_ = nullptr;
  std::int32_t size_ = 0;
};

class TByteArray2D {
 public:
  // Columns x Rows bytes. The caller makes sure the product fits a signed
  // 32-bit size; a negative product raises ENotEnoughMemory.
  TByteArray2D(std::int32_t columns, std::int32_t rows);
  TByteArray2D(const TByteArray2D&) = delete;
  TByteArray2D& operator=(const TByteArray2D&) = delete;

  std::int32_t Columns() const { return columns_; }
  std::int32_t Rows() const { return rows_; }
  TBigByteArray& Data() { return data_; }
  const TBigByteArray& Data() const { return data_; }

  // A copy of row, 1 <= row <= Rows() (EIndexOutOfBounds otherwise); the
  // caller owns it.
  std::unique_ptr<TBigByteArray> GetRow(std::int32_t row) const;
  // Copies the array into row. EIndexOutOfBounds for a row outside 1 to
  // Rows(); a plain error when the array's size is not Columns().
  void SetRow(std::int32_t row, const TBigByteArray& values);
  // Row r (1-based) in place; the caller checks r.
  const std::uint8_t* RowData(std::int32_t row) const;

 private:
  TBigByteArray data_;
  std::int32_t columns_;
  std::int32_t rows_;
};

}  // namespace gif

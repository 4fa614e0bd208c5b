#include "gif/DynArrB.h"

#include <cstdlib>
#include <cstring>

namespace gif {

ENotEnoughMemory::ENotEnoughMemory(std::int32_t size)
    : std::runtime_error(
          "error in TBigByteArray.create: Not enough contiguous memory available\r\n"
          " requested memory block: " +
          std::to_string(size) + " bytes") {}

void RaiseError(const std::string& message) { throw std::runtime_error(message); }

TBigByteArray::TBigByteArray(std::int32_t size) {
  if (size < 0) throw ENotEnoughMemory(size);
  // calloc: zero bytes, and large blocks come as fresh zero pages for free.
  data_ = static_cast<std::uint8_t*>(
      std::calloc(static_cast<std::size_t>(size) + static_cast<std::size_t>(Slack()), 1));
  if (data_ == nullptr) throw ENotEnoughMemory(size);
  size_ = size;
}

TBigByteArray::~TBigByteArray() {
  std::free(data_);
  size_ = 0;
}

void TBigByteArray::SetByte(std::int32_t index, std::uint8_t value) {
  if (index < 1 || index > size_) throw EIndexOutOfBounds();
  data_[index - 1] = value;
}

std::uint8_t TBigByteArray::GetByte(std::int32_t index) const {
  if (index < 1 || index > size_) throw EIndexOutOfBounds();
  return data_[index - 1];
}

TByteArray2D::TByteArray2D(std::int32_t columns, std::int32_t rows)
    : data_(static_cast<std::int32_t>(static_cast<std::uint32_t>(columns) *
                                      static_cast<std::uint32_t>(rows))),
      columns_(columns),
      rows_(rows) {}

std::unique_ptr<TBigByteArray> TByteArray2D::GetRow(std::int32_t row) const {
  if (row < 1 || row > rows_) throw EIndexOutOfBounds();
  auto result = std::make_unique<TBigByteArray>(columns_);
  if (columns_ > 0) std::memcpy(result->Data(), RowData(row), static_cast<std::size_t>(columns_));
  return result;
}

void TByteArray2D::SetRow(std::int32_t row, const TBigByteArray& values) {
  if (row < 1 || row > rows_) throw EIndexOutOfBounds();
  if (values.Size() != columns_) RaiseError("Row doesn't have equal number of elements as Matrix row");
  if (columns_ > 0)
    std::memcpy(data_.Data() + static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_),
                values.Data(), static_cast<std::size_t>(columns_));
}

const std::uint8_t* TByteArray2D::RowData(std::int32_t row) const {
  return data_.Data() + static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_);
}

}  // namespace gif

#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Small helpers of the GIF library: the list index error, the 1-based owning
// list the model is built from, and FreeBitmap.
namespace gif {

// The index error of the library's lists (frames, extensions, data blocks).
// The LZW decoder takes it as the end of its data.
class EListError : public std::runtime_error {
 public:
  explicit EListError(std::int32_t index)
      : std::runtime_error("List index out of bounds (" + std::to_string(index) + ")") {}
};

// A list that owns its items and counts them from 1. Destroying it destroys
// the items, the last first.
template <class T>
class TOwnedList {
 public:
  TOwnedList() = default;
  TOwnedList(const TOwnedList&) = delete;
  TOwnedList& operator=(const TOwnedList&) = delete;
  ~TOwnedList() { Clear(); }

  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // Item i, 1 <= i <= Count(); any other index raises EListError.
  T& Items(std::int32_t i) const {
    if (i < 1 || i > Count()) throw EListError(i);
    return *items_[static_cast<std::size_t>(i - 1)];
  }
  T& Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return *items_.back();
  }
  void Clear() {
    while (!items_.empty()) items_.pop_back();
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

// Releases a bitmap and sets the reference to none.
template <class TBitmap>
void FreeBitmap(TBitmap*& bitmap) {
  delete bitmap;
  bitmap = nullptr;
}

}  // namespace gif

#pragma once
#include <cstddef>
#include <memory>
#include <type_traits>

namespace platform {

// Storage for a large array that is written soon after it is allocated
// (a matcher's tables). Each 4 KiB page a program touches first costs a
// page fault, which a virtual machine makes dearer still; from 2 MiB on,
// the storage is aligned to 2 MiB and asks the kernel for huge pages, so
// that it faults once per 2 MiB where the kernel grants them (and as any
// allocation where it does not). Smaller arrays come from the heap.
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* block) noexcept;

// An array of count T, left uninitialised, as new T[count] would be.
template <typename T>
class TLargeArray {
  static_assert(std::is_trivially_default_constructible_v<T> &&
                std::is_trivially_destructible_v<T>);

 public:
  TLargeArray() = default;
  explicit TLargeArray(std::size_t count)
      : data_(static_cast<T*>(AllocateLarge(count * sizeof(T)))), size_(count) {}

  T* data() const { return data_.get(); }
  T& operator[](std::size_t k) const { return data_.get()[k]; }
  std::size_t size() const { return size_; }

 private:
  struct TFree {
    void operator()(T* p) const noexcept { FreeLarge(p); }
  };
  std::unique_ptr<T, TFree> data_;
  std::size_t size_ = 0;
};

}  // namespace platform

#include "platform/LargeArray.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace platform {

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes < HugePage) {
    void* block = std::malloc(bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  const std::size_t rounded = (bytes + HugePage - 1) / HugePage * HugePage;
  void* block = std::aligned_alloc(HugePage, rounded);
  if (block == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  // Only advice: where the kernel has no huge pages to give, or gives them
  // to every allocation anyway, nothing changes.
  madvise(block, rounded, MADV_HUGEPAGE);
#endif
  return block;
}

void FreeLarge(void* block) noexcept { std::free(block); }

}  // namespace platform

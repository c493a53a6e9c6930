#include "platform/large_memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace mv {
namespace {

size_t roundedUp(size_t bytes) { return (bytes + kLargeBlock - 1) & ~(kLargeBlock - 1); }

}  // namespace

void* allocateLarge(size_t bytes) {
  const size_t length = roundedUp(bytes);
  if (length < bytes) return nullptr;
  // Map a block more than needed and trim it, so that the huge pages line up.
  void* mapped =
      mmap(nullptr, length + kLargeBlock, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + kLargeBlock - 1) & ~uintptr_t(kLargeBlock - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  if (const size_t tail = start + length + kLargeBlock - (aligned + length); tail > 0)
    munmap(reinterpret_cast<void*>(aligned + length), tail);
  void* p = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  madvise(p, length, MADV_HUGEPAGE);  // advice only: without it the pages come one by one
#endif
  return p;
}

void freeLarge(void* p, size_t bytes) {
  if (p) munmap(p, roundedUp(bytes));
}

}  // namespace mv

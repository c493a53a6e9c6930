#pragma once
// Memory for the large unit lists of long files. Fresh memory costs a page fault per 4 KiB page
// at first touch, which on a virtual machine is most of the time a two-hour file takes to load;
// blocks of 2 MiB and more are taken in huge pages where the system allows, one fault per 2 MiB.
#include <cstddef>
#include <memory>
#include <new>

// Under the address sanitizer every block comes from the allocator, whose limits stay in force.
#if defined(__SANITIZE_ADDRESS__)
#define MORV_PLAIN_ALLOCATION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORV_PLAIN_ALLOCATION 1
#endif
#endif

namespace mv {

inline constexpr size_t kLargeBlock = size_t(2) << 20;

// nullptr when the system has no memory to give.
void* allocateLarge(size_t bytes);
void freeLarge(void* p, size_t bytes);

template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}

  T* allocate(size_t n) {
    if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
#if !defined(MORV_PLAIN_ALLOCATION)
    if (n * sizeof(T) >= kLargeBlock) {
      void* p = allocateLarge(n * sizeof(T));
      if (!p) throw std::bad_alloc();
      return static_cast<T*>(p);
    }
#endif
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) {
#if !defined(MORV_PLAIN_ALLOCATION)
    if (n * sizeof(T) >= kLargeBlock) return freeLarge(p, n * sizeof(T));
#endif
    std::allocator<T>().deallocate(p, n);
  }
  friend bool operator==(const LargeAllocator&, const LargeAllocator&) { return true; }
};

}  // namespace mv

#include "heap_usage.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRIMIXER_HEAP_FROM_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TRIMIXER_HEAP_FROM_SANITIZER 1
#endif

#if defined(TRIMIXER_HEAP_FROM_SANITIZER)
#include <sanitizer/allocator_interface.h>
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

std::optional<std::size_t> heapBytesInUse() {
#if defined(TRIMIXER_HEAP_FROM_SANITIZER)
  return __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__)
  // Blocks handed out from the arenas, and the large ones mapped on their own.
  // None at all means another allocator took malloc over, as valgrind does.
  const struct mallinfo2 info = mallinfo2();
  const std::size_t inUse = info.uordblks + info.hblkhd;
  if (inUse == 0) return std::nullopt;
  return inUse;
#else
  return std::nullopt;
#endif
}

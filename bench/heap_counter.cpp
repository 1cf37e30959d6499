// Replacements of the global allocation functions that count blocks and
// bytes. Each block is preceded by a header that records its size, so a
// release knows how many bytes it gives back.
#include "heap_counter.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

std::atomic<std::int64_t> allocationCount{0};
std::atomic<std::int64_t> allocatedBytes{0};
std::atomic<std::int64_t> liveBytes{0};

constexpr std::size_t kDefaultAlignment = alignof(std::max_align_t);

// As wide as the block's alignment, so the block after it stays aligned.
std::size_t headerSizeFor(std::size_t alignment) { return std::max(alignment, kDefaultAlignment); }

void* allocateCounted(std::size_t size, std::size_t alignment) {
  const std::size_t header = headerSizeFor(alignment);
  if (size > std::numeric_limits<std::size_t>::max() - 2 * header) throw std::bad_alloc();
  // aligned_alloc takes whole multiples of the alignment only.
  const std::size_t total = (header + size + header - 1) / header * header;
  auto* base = static_cast<unsigned char*>(std::aligned_alloc(header, total));
  if (base == nullptr) throw std::bad_alloc();
  unsigned char* block = base + header;
  std::memcpy(block - sizeof size, &size, sizeof size);
  const auto bytes = static_cast<std::int64_t>(size);
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  allocatedBytes.fetch_add(bytes, std::memory_order_relaxed);
  liveBytes.fetch_add(bytes, std::memory_order_relaxed);
  return block;
}

void releaseCounted(void* pointer, std::size_t alignment) noexcept {
  if (pointer == nullptr) return;
  auto* block = static_cast<unsigned char*>(pointer);
  std::size_t size = 0;
  std::memcpy(&size, block - sizeof size, sizeof size);
  liveBytes.fetch_sub(static_cast<std::int64_t>(size), std::memory_order_relaxed);
  std::free(block - headerSizeFor(alignment));
}

}  // namespace

HeapCount heapCount() {
  return {allocationCount.load(std::memory_order_relaxed),
          allocatedBytes.load(std::memory_order_relaxed),
          liveBytes.load(std::memory_order_relaxed)};
}

HeapCount operator-(const HeapCount& after, const HeapCount& before) {
  return {after.allocations - before.allocations, after.bytesAllocated - before.bytesAllocated,
          after.bytesLive - before.bytesLive};
}

// libstdc++ forwards the array and nothrow forms to these, and GCC asks for
// the sized releases beside the unsized ones.
void* operator new(std::size_t size) { return allocateCounted(size, kDefaultAlignment); }

void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocateCounted(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept { releaseCounted(block, kDefaultAlignment); }

void operator delete(void* block, std::size_t) noexcept {
  releaseCounted(block, kDefaultAlignment);
}

void operator delete(void* block, std::align_val_t alignment) noexcept {
  releaseCounted(block, static_cast<std::size_t>(alignment));
}

void operator delete(void* block, std::size_t, std::align_val_t alignment) noexcept {
  releaseCounted(block, static_cast<std::size_t>(alignment));
}

// Allocations of a gigabyte or more fail in this test program, so the paths
// that must survive an allocation failure can be driven deterministically.
// Every plain form of new and delete is replaced, so that all of them agree
// on malloc and free, sanitizers included.
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kFailingSize = std::size_t{1} << 30;

void* allocate(std::size_t size) noexcept {
  if (size >= kFailingSize) return nullptr;
  return std::malloc(size == 0 ? 1 : size);
}

void* allocateOrThrow(std::size_t size) {
  if (void* memory = allocate(size)) return memory;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

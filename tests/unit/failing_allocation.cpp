// Allocations of a gigabyte or more fail in this test program, so the paths
// that must survive an allocation failure can be driven deterministically.
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kFailingSize = std::size_t{1} << 30;

}  // namespace

void* operator new(std::size_t size) {
  if (size >= kFailingSize) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

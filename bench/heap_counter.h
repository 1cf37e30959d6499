// Heap use as the plugin causes it. The benchmark program replaces the global
// allocation functions (heap_counter.cpp); on Linux the loaded plugin's calls
// to operator new and delete resolve to the program's replacements, so every
// block the plugin takes or gives back passes through the counts here.
#pragma once

#include <cstdint>

struct HeapCount {
  std::int64_t allocations = 0;
  std::int64_t bytesAllocated = 0;
  std::int64_t bytesLive = 0;
};

// Totals since the program started.
HeapCount heapCount();

HeapCount operator-(const HeapCount& after, const HeapCount& before);

// What the action allocated, and how many of those bytes it still holds.
template <typename Action>
HeapCount heapUseOf(Action&& action) {
  const HeapCount before = heapCount();
  action();
  return heapCount() - before;
}

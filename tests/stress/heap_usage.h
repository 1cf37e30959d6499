// How many bytes the process holds on its heap, where the platform can tell:
// glibc's own count natively, AddressSanitizer's when that allocator is in use;
// nothing under wine or when valgrind has replaced the allocator.
#pragma once

#include <cstddef>
#include <optional>

std::optional<std::size_t> heapBytesInUse();

// Throws from `depth` frames down and catches at the top.
#include <stdexcept>

namespace {

[[noreturn]] __attribute__((noinline)) void throwFrom(int depth) {
  if (depth == 0) throw std::runtime_error("unwound");
  throwFrom(depth - 1);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int framesUnwound(int depth) {
  try {
    throwFrom(depth);
  } catch (const std::runtime_error&) {
    return depth;
  }
}

// Nothing leaves the plugin as an exception: a host cannot catch ours, and
// one unwinding into a host's frames ends the host. Every function a host
// calls, through the record or an entry point, runs its work through here.
#pragma once

#include <type_traits>

// Runs `work`; should it throw, the host gets the answer a plugin gives when
// it has nothing to say: 0, 0.0, null, or nothing.
template <typename Work>
auto guardedHostCall(Work&& work) noexcept {
  using Result = std::invoke_result_t<Work>;
  try {
    return work();
  } catch (...) {
    if constexpr (!std::is_void_v<Result>) return Result{};
  }
}

// The same for answers whose 0 means success: should `work` throw, the host
// gets `failure`.
template <typename Work, typename Result>
Result guardedHostCall(Work&& work, Result failure) noexcept {
  try {
    return work();
  } catch (...) {
    return failure;
  }
}

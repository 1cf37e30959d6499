// The runtime's side of the effect-callback table.
#pragma once

#include <atomic>
#include <cstdint>

#include "runtime/block_loop.h"
#include "runtime/tovra.h"
#include "seam/effect_callbacks.h"
#include "seam/shell_services.h"

// A table with slots 0 to 6 and 13 to 28 filled; the editor slots 7 to 12
// stay null. Its processing slots reach any effect's sections virtually.
EffectCallbacks runtimeCallbacks();

// The effect behind the shell handle every callback receives.
inline TTovra& effectOf(ShellHandle shell) { return *static_cast<TTovra*>(shellGetEffect(shell)); }

// Each processing path reads the channel count once per process, on its
// first call, and every instance shares it: that is the design. Instances on
// two audio threads may make that first call together, so the cache is an
// atomic; relaxed, since nothing but the count itself passes through it.
// Processing takes no locks, so the atomic must not hide one.
template <typename Sample>
std::int32_t cachedChannelCount(ShellHandle shell) {
  static std::atomic<std::int32_t> channelCount{-1};
  static_assert(std::atomic<std::int32_t>::is_always_lock_free);
  std::int32_t count = channelCount.load(std::memory_order_relaxed);
  if (count < 0) {
    count = boundedChannelCount(shellGetNumInputs(shell));
    channelCount.store(count, std::memory_order_relaxed);
  }
  return count;
}

// Slots 25 and 26 for effects of class Effect.
template <typename Effect, typename Sample>
void processBlockOf(ShellHandle shell, Sample** inputs, Sample** outputs, std::int32_t frames) {
  auto& effect = static_cast<Effect&>(effectOf(shell));
  runBlock(effect, inputs, outputs, frames, cachedChannelCount<Sample>(shell));
}

// The table for a translated class known here: its processing slots call the
// class's sections directly, so a final class's per-sample section is inlined
// into the frame loop. Everything else is runtimeCallbacks().
template <typename Effect>
EffectCallbacks runtimeCallbacksFor() {
  EffectCallbacks table = runtimeCallbacks();
  table.processReplacing = processBlockOf<Effect, float>;
  table.processDoubleReplacing = processBlockOf<Effect, double>;
  return table;
}

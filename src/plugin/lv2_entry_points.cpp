// The LV2 edition's entry point, and the one place that wires the effect and
// the runtime into the LV2 shell: the same effect and callback table as the
// VST 2.x edition, the control ranges for the control ports, and the shell
// made around them.
#include <lv2/core/lv2.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "effect/tovra_effect.h"
#include "lv2/plugin_descriptor.h"
#include "lv2/quobe.h"
#include "plugin_identity.h"
#include "runtime/runtime_callbacks.h"
#include "seam/host_boundary.h"

namespace {

// The audio ports the bundle declares, each way.
constexpr std::int32_t kBundleChannels = 6;

std::vector<ControlRange> controlRanges(const TTovraEffect& effect) {
  std::vector<ControlRange> ranges;
  for (std::int32_t index = 0; index < effect.controlCount(); ++index) {
    const ControlDescriptor& control = effect.descriptor(index);
    ranges.push_back({control.minimum, control.maximum, control.defaultValue});
  }
  return ranges;
}

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const* features) {
  return guardedHostCall([&]() -> LV2_Handle {
    auto effect = std::make_unique<TTovraEffect>();
    if (effect->pinCount != kBundleChannels) return nullptr;
    const HostSetup host{sampleRate, features, plugin_identity::kLv2Uri};
    CQuobe* shell = shellCreate(effect.get(), runtimeCallbacksFor<TTovraEffect>(), host,
                                controlRanges(*effect));
    if (shell == nullptr) return nullptr;
    // From here the shell owns the effect: its destruction destroys the effect.
    effect->setShell(shell);
    effect.release();
    shell->open();
    return shell;
  });
}

const LV2_Descriptor kDescriptor = pluginDescriptor(plugin_identity::kLv2Uri, instantiate);

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(
    std::uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}

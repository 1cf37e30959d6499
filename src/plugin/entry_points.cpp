// The library's entry points, and the one place that wires the three layers
// into a plugin: the effect chosen, the runtime's callback table filled, the
// shell made around them. The host passes its callback and receives the new
// instance's record, or null when no instance was made.
#include <memory>

#include "effect/tovra_effect.h"
#include "runtime/runtime_callbacks.h"
#include "seam/host_boundary.h"
#include "seam/shell_services.h"
#include "vst2/aeffect.h"
#include "vst2/quobe.h"

#if defined(_WIN32)
// The export list (entry_points.def) names them; "used" keeps the link-time
// optimiser, which does not read that list, from dropping them.
#define PLUGIN_EXPORT extern "C" __attribute__((used))
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

AEffect* createInstance(audioMasterCallback audioMaster) {
  return guardedHostCall([audioMaster]() -> AEffect* {
    const EffectCallbacks callbacks = runtimeCallbacksFor<TTovraEffect>();
    auto effect = std::make_unique<TTovraEffect>();
    CQuobe* shell = shellCreate(effect.get(), callbacks, audioMaster, 1, effect->controlCount());
    if (shell == nullptr) return nullptr;
    // From here the shell owns the effect: its destruction destroys the effect.
    effect->setShell(shell);
    effect.release();
    return shellGetRecord(shell);
  });
}

}  // namespace

PLUGIN_EXPORT AEffect* VST_CALL VSTPluginMain(audioMasterCallback audioMaster) {
  return createInstance(audioMaster);
}

PLUGIN_EXPORT AEffect* VST_CALL MAIN(audioMasterCallback audioMaster) {
  return createInstance(audioMaster);
}

#if defined(_WIN32)
// Attach and detach need no work.
extern "C" int __stdcall DllMain(void*, unsigned long, void*) { return 1; }
#else
// The same function as VSTPluginMain under the name older hosts look up.
PLUGIN_EXPORT AEffect* VST_CALL mainEntryAlias(audioMasterCallback audioMaster) __asm__("main")
    __attribute__((alias("VSTPluginMain")));
#endif

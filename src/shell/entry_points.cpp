// The library's entry points: the host passes its callback and receives the
// new instance's record, or null when no instance was made.
#include <new>

#include "aeffect.h"
#include "effect/tovra_effect.h"
#include "quobe.h"
#include "runtime/runtime_callbacks.h"
#include "shell_services.h"

#if defined(_WIN32)
#define PLUGIN_EXPORT extern "C"
#else
#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

AEffect* createInstance(audioMasterCallback audioMaster) {
  try {
    const EffectCallbacks callbacks = runtimeCallbacksFor<TTovraEffect>();
    auto* effect = new TTovraEffect();
    CQuobe* shell = shellCreate(effect, callbacks, audioMaster, 1, effect->controlCount());
    if (shell == nullptr) {
      delete effect;
      return nullptr;
    }
    effect->setShell(shell);
    return shellGetRecord(shell);
  } catch (...) {
    return nullptr;
  }
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

// Libraries that look like plugins to a loader but fail a host in one way
// each, chosen by a compile definition:
//   BROKEN_PLUGIN_NO_ENTRY       exports no entry point at all;
//   BROKEN_PLUGIN_REFUSING_MAIN  exports only the older name main, whose
//                                instance never comes;
//   BROKEN_PLUGIN_WRONG_MAGIC    hands out a record without the magic.
#include "aeffect.h"

#define BROKEN_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(BROKEN_PLUGIN_NO_ENTRY)

BROKEN_PLUGIN_EXPORT int brokenPluginVersion() { return 1; }

#elif defined(BROKEN_PLUGIN_REFUSING_MAIN)

BROKEN_PLUGIN_EXPORT AEffect* refusingEntry(audioMasterCallback) __asm__("main");
AEffect* refusingEntry(audioMasterCallback) { return nullptr; }

#elif defined(BROKEN_PLUGIN_WRONG_MAGIC)

// A dispatcher that must never run: a host has no business with this record.
std::intptr_t abortingDispatcher(AEffect*, std::int32_t, std::int32_t, std::intptr_t, void*,
                                 float) {
  __builtin_trap();
}

BROKEN_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  static AEffect record{};
  record.magic = fourCharConstant('N', 'o', 'p', 'e');
  record.dispatcher = abortingDispatcher;
  return &record;
}

#endif

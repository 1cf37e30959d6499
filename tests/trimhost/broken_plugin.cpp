// Libraries that look like plugins to a loader but fail a host in one way
// each, chosen by a compile definition:
//   BROKEN_PLUGIN_NO_ENTRY       exports no entry point at all;
//   BROKEN_PLUGIN_REFUSING_MAIN  exports only the older name main, whose
//                                instance never comes;
//   BROKEN_PLUGIN_WRONG_MAGIC    hands out a record without the magic;
//   BROKEN_PLUGIN_CRASHING       makes a fine instance of two inputs and two
//                                outputs whose processing writes through a
//                                null pointer;
//   BROKEN_PLUGIN_CRASHING_LOUD  the same, but it passes its inputs through
//                                and crashes only on a sample beyond 0.9 in
//                                magnitude: one loud file in a batch;
//   BROKEN_PLUGIN_CRASHING_AT_START  writes through a null pointer in its
//                                entry point, as soon as a host asks for an
//                                instance; when BROKEN_PLUGIN_LOAD_LOG is
//                                set, it first adds a line to that file, so
//                                that a test can count the times it was loaded;
//   BROKEN_PLUGIN_HANGING        never returns from its entry point; when
//                                BROKEN_PLUGIN_PID_FILE is set, it first
//                                writes its process id there;
//   BROKEN_PLUGIN_HANGING_IN_PROCESS  a fine instance whose processing never
//                                returns, deaf to every signal but SIGKILL.
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

#elif defined(BROKEN_PLUGIN_CRASHING_AT_START)

#include <cstdio>
#include <cstdlib>

int* volatile nowhere = nullptr;

// Not instrumented, like the crashing processing below.
__attribute__((no_sanitize("address", "undefined"))) void crash() { *nowhere = 1; }

BROKEN_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  if (const char* file = std::getenv("BROKEN_PLUGIN_LOAD_LOG")) {
    if (std::FILE* log = std::fopen(file, "a")) {
      std::fputs("loaded\n", log);
      std::fclose(log);
    }
  }
  crash();
  return nullptr;
}

#elif defined(BROKEN_PLUGIN_HANGING)

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

BROKEN_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  if (const char* file = std::getenv("BROKEN_PLUGIN_PID_FILE")) {
    if (std::FILE* out = std::fopen(file, "w")) {
      std::fprintf(out, "%d\n", static_cast<int>(getpid()));
      std::fclose(out);
    }
  }
  for (;;) pause();
}

#elif defined(BROKEN_PLUGIN_CRASHING) || defined(BROKEN_PLUGIN_CRASHING_LOUD) || \
    defined(BROKEN_PLUGIN_HANGING_IN_PROCESS)

#include <signal.h>
#include <unistd.h>

std::intptr_t quietDispatcher(AEffect*, std::int32_t, std::int32_t, std::intptr_t, void*, float) {
  return 0;
}

float noParameter(AEffect*, std::int32_t) { return 0.0f; }

void ignoreParameter(AEffect*, std::int32_t, float) {}

// Read through a volatile pointer, so that the compiler keeps the store.
int* volatile nowhere = nullptr;

// Not instrumented: under the sanitizers the crash must still reach the host
// as the signal it is, not as a sanitizer's report.
__attribute__((no_sanitize("address", "undefined"))) void crash() { *nowhere = 1; }

#if defined(BROKEN_PLUGIN_CRASHING)
void brokenProcess(AEffect*, float**, float**, std::int32_t) { crash(); }
#elif defined(BROKEN_PLUGIN_HANGING_IN_PROCESS)
void brokenProcess(AEffect*, float**, float**, std::int32_t) {
  sigset_t all;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, nullptr);
  for (;;) pause();
}
#else
void brokenProcess(AEffect*, float** inputs, float** outputs, std::int32_t frames) {
  for (int channel = 0; channel < 2; ++channel)
    for (std::int32_t frame = 0; frame < frames; ++frame) {
      const float sample = inputs[channel][frame];
      if (sample > 0.9f || sample < -0.9f) crash();
      outputs[channel][frame] = sample;
    }
}
#endif

BROKEN_PLUGIN_EXPORT AEffect* VSTPluginMain(audioMasterCallback) {
  static AEffect record{};
  record.magic = kEffectMagic;
  record.dispatcher = quietDispatcher;
  record.getParameter = noParameter;
  record.setParameter = ignoreParameter;
  record.processReplacing = brokenProcess;
  record.numInputs = 2;
  record.numOutputs = 2;
  record.flags = effFlagsCanReplacing;
  return &record;
}

#endif

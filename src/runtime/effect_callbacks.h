// EffectCallbacks: the 29 plain functions through which the shell reaches the
// runtime. Every slot takes the shell handle first; a null slot is skipped by
// the shell and gives the base behaviour.
#pragma once

#include <cstddef>
#include <cstdint>

class CQuobe;
using ShellHandle = CQuobe*;

// Text slots write into a buffer of this many bytes and never past it; the
// shell passes a buffer of this size and cuts the text to the host's limit.
constexpr std::size_t kCallbackTextCapacity = 256;

struct EffectCallbacks {
  using Event = void (*)(ShellHandle);
  using TextGetter = std::int32_t (*)(ShellHandle, char* text);
  using ParameterText = void (*)(ShellHandle, std::int32_t index, char* text);

  Event onCreate;                                                          // 0
  Event onDestroy;                                                         // 1
  Event onOpen;                                                            // 2
  Event onSuspend;                                                         // 3
  Event onResume;                                                          // 4
  Event onIdle;                                                            // 5
  Event onClose;                                                           // 6
  Event reserved[6];                                                       // 7 to 12: editor
  std::int32_t (*getVendorVersion)(ShellHandle);                           // 13
  TextGetter getVendorString;                                              // 14
  TextGetter getProductString;                                             // 15
  TextGetter getEffectName;                                                // 16
  TextGetter getProgramName;                                               // 17
  void (*setProgramName)(ShellHandle, const char* text);                   // 18
  std::int32_t (*getProgramNameIndexed)(ShellHandle, std::int32_t category,
                                        std::int32_t index, char* text);   // 19
  double (*getParameter)(ShellHandle, std::int32_t index);                 // 20
  void (*setParameter)(ShellHandle, std::int32_t index, double value);     // 21
  ParameterText getParameterName;                                          // 22
  ParameterText getParameterLabel;                                         // 23
  ParameterText getParameterDisplay;                                       // 24
  void (*processReplacing)(ShellHandle, float** inputs, float** outputs,
                           std::int32_t sampleFrames);                     // 25
  void (*processDoubleReplacing)(ShellHandle, double** inputs, double** outputs,
                                 std::int32_t sampleFrames);               // 26
  std::int32_t (*getChunk)(ShellHandle, void** data, std::int32_t isPreset);  // 27
  std::int32_t (*setChunk)(ShellHandle, void* data, std::int32_t byteSize,
                           std::int32_t isPreset);                         // 28
};

static_assert(sizeof(EffectCallbacks) == 29 * sizeof(void*), "29 slots, nothing else");
static_assert(offsetof(EffectCallbacks, getVendorVersion) == 13 * sizeof(void*));
static_assert(offsetof(EffectCallbacks, getParameter) == 20 * sizeof(void*));
static_assert(offsetof(EffectCallbacks, processReplacing) == 25 * sizeof(void*));
static_assert(offsetof(EffectCallbacks, setChunk) == 28 * sizeof(void*));

// EffectCallbacks: the 29 plain functions through which the shell reaches the
// runtime, one direction of the seam between them (the shell services are the
// other). The runtime fills the table at the entry point; the shell keeps its
// own copy and calls a slot when the host makes the request named below.
//
// Common to every slot: the first argument is the shell handle, from which
// the runtime finds its effect (shellGetEffect). A null slot is skipped by the
// shell, which then gives the base behaviour (nothing, 0, 0.0 or false).
// Nothing is thrown out of a slot. Threads: the host's user-interface thread
// for the lifecycle, text and chunk slots; its audio thread for the
// processing slots; either for the parameter slots. The plugin takes no locks:
// the host does not overlap calls that must not overlap.
#pragma once

#include <cstddef>
#include <cstdint>

// The shell object of the edition the library is: the VST 2.x shell's
// (vst2/quobe.h) or the LV2 shell's (lv2/quobe.h). The runtime holds it only
// as this opaque handle.
class CQuobe;
using ShellHandle = CQuobe*;

// Text slots write into a buffer of this many bytes and never past it; the
// shell passes a buffer of this size and cuts the text to the host's limit.
constexpr std::size_t kCallbackTextCapacity = 256;

struct EffectCallbacks {
  using Event = void (*)(ShellHandle);
  // Writes a zero-terminated text into the shell's buffer of
  // kCallbackTextCapacity bytes; answers 1 when it wrote one.
  using TextGetter = std::int32_t (*)(ShellHandle, char* text);
  // The same for the control at `index`; an index without a control gets an
  // empty text.
  using ParameterText = void (*)(ShellHandle, std::int32_t index, char* text);

  // From the shell's constructor, before the shell handle is stored in the
  // effect: sets pin counts, unique id and programs-are-chunks through the
  // shell services, using only the handle it is given.
  Event onCreate;  // 0
  // From the shell's destructor (after effClose): destroys and frees the
  // effect, which owns all runtime state; nothing when the shell holds none.
  Event onDestroy;  // 1
  Event onOpen;     // 2: effOpen; the effect's reset
  Event onSuspend;  // 3: effMainsChanged 0
  // effMainsChanged 1, after the shell asked the host for MIDI events: the
  // initialisation section (sample rate, block size, tempo), then the
  // control section.
  Event onResume;     // 4
  Event onIdle;       // 5: never called; it serves an editor, and there is none
  Event onClose;      // 6: effClose, before the shell is destroyed
  Event reserved[6];  // 7 to 12: editor slots, left null and never called
  // effGetVendorVersion: the effect's vendor version (1000 for 1.0.0).
  std::int32_t (*getVendorVersion)(ShellHandle);  // 13
  TextGetter getVendorString;                     // 14: effGetVendorString
  TextGetter getProductString;                    // 15: effGetProductString
  TextGetter getEffectName;                       // 16: effGetEffectName
  TextGetter getProgramName;                      // 17: effGetProgramName
  // effSetProgramName with a non-null, zero-terminated text, which stays the
  // host's: the runtime copies it.
  void (*setProgramName)(ShellHandle, const char* text);  // 18
  // effGetProgramNameIndexed: answers 0 and leaves the buffer untouched.
  std::int32_t (*getProgramNameIndexed)(ShellHandle, std::int32_t category, std::int32_t index,
                                        char* text);  // 19
  // The record's getParameter: the control's normalised value, 0.0 for an
  // index without a control.
  double (*getParameter)(ShellHandle, std::int32_t index);  // 20
  // The record's setParameter: quantises to the control's step, ignores
  // changes below 0.00001, otherwise stores the value and runs the control
  // section. NaN, infinities and indices without a control change nothing.
  void (*setParameter)(ShellHandle, std::int32_t index, double value);  // 21
  ParameterText getParameterName;                                       // 22: effGetParamName
  ParameterText getParameterLabel;                                      // 23: effGetParamLabel
  ParameterText getParameterDisplay;                                    // 24: effGetParamDisplay
  // The record's processReplacing: the block section once, then the
  // per-sample section per frame, inputs and outputs of `sampleFrames`
  // frames in the host's buffers, which may be the same. Allocates nothing.
  void (*processReplacing)(ShellHandle, float** inputs, float** outputs,
                           std::int32_t sampleFrames);  // 25
  // The record's processDoubleReplacing: the same with 64-bit samples.
  void (*processDoubleReplacing)(ShellHandle, double** inputs, double** outputs,
                                 std::int32_t sampleFrames);  // 26
  // effGetChunk: writes the state into a buffer the effect owns, stores its
  // address in *data and answers its byte count. The buffer stays valid until
  // the next chunk request or the effect's destruction; the host must not
  // free it. A null `data` gets 0.
  std::int32_t (*getChunk)(ShellHandle, void** data, std::int32_t isPreset);  // 27
  // effSetChunk: reads `byteSize` bytes at `data`, which stay the host's (the
  // runtime copies them first, so the buffer getChunk handed out may be
  // passed back); answers the byte count it was given.
  std::int32_t (*setChunk)(ShellHandle, void* data, std::int32_t byteSize,
                           std::int32_t isPreset);  // 28
};

static_assert(sizeof(EffectCallbacks) == 29 * sizeof(void*), "29 slots, nothing else");
static_assert(offsetof(EffectCallbacks, getVendorVersion) == 13 * sizeof(void*));
static_assert(offsetof(EffectCallbacks, getParameter) == 20 * sizeof(void*));
static_assert(offsetof(EffectCallbacks, processReplacing) == 25 * sizeof(void*));
static_assert(offsetof(EffectCallbacks, setChunk) == 28 * sizeof(void*));

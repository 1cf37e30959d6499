#include "plugin_host/plugin_call.h"

#include <atomic>
#include <iterator>

namespace {

// Lock-free atomics are the only values a signal handler may read. Each
// thread has its own: a crash is reported on the thread that crashed, and
// instances called on other threads neither overwrite the call in progress
// nor order their calls against this thread's.
thread_local std::atomic<const char*> functionInProgress{nullptr};
thread_local std::atomic<std::int32_t> opcodeInProgress{-1};
static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<std::int32_t>::is_always_lock_free);

constexpr const char* kOpcodeNames[] = {"effOpen",
                                        "effClose",
                                        "effSetProgram",
                                        "effGetProgram",
                                        "effSetProgramName",
                                        "effGetProgramName",
                                        "effGetParamLabel",
                                        "effGetParamDisplay",
                                        "effGetParamName",
                                        "effGetVu",
                                        "effSetSampleRate",
                                        "effSetBlockSize",
                                        "effMainsChanged",
                                        "effEditGetRect",
                                        "effEditOpen",
                                        "effEditClose",
                                        "effEditDraw",
                                        "effEditMouse",
                                        "effEditKey",
                                        "effEditIdle",
                                        "effEditTop",
                                        "effEditSleep",
                                        "effIdentify",
                                        "effGetChunk",
                                        "effSetChunk",
                                        "effProcessEvents",
                                        "effCanBeAutomated",
                                        "effString2Parameter",
                                        "effGetNumProgramCategories",
                                        "effGetProgramNameIndexed",
                                        "effCopyProgram",
                                        "effConnectInput",
                                        "effConnectOutput",
                                        "effGetInputProperties",
                                        "effGetOutputProperties",
                                        "effGetPlugCategory",
                                        "effGetCurrentPosition",
                                        "effGetDestinationBuffer",
                                        "effOfflineNotify",
                                        "effOfflinePrepare",
                                        "effOfflineRun",
                                        "effProcessVarIo",
                                        "effSetSpeakerArrangement",
                                        "effSetBlockSizeAndSampleRate",
                                        "effSetBypass",
                                        "effGetEffectName",
                                        "effGetErrorText",
                                        "effGetVendorString",
                                        "effGetProductString",
                                        "effGetVendorVersion",
                                        "effVendorSpecific",
                                        "effCanDo",
                                        "effGetTailSize",
                                        "effIdle",
                                        "effGetIcon",
                                        "effSetViewPosition",
                                        "effGetParameterProperties",
                                        "effKeysRequired",
                                        "effGetVstVersion",
                                        "effEditKeyDown",
                                        "effEditKeyUp",
                                        "effSetEditKnobMode",
                                        "effGetMidiProgramName",
                                        "effGetCurrentMidiProgram",
                                        "effGetMidiProgramCategory",
                                        "effHasMidiProgramsChanged",
                                        "effGetMidiKeyName",
                                        "effBeginSetProgram",
                                        "effEndSetProgram",
                                        "effGetSpeakerArrangement",
                                        "effShellGetNextPlugin",
                                        "effStartProcess",
                                        "effStopProcess",
                                        "effSetTotalSampleToProcess",
                                        "effSetPanLaw",
                                        "effBeginLoadBank",
                                        "effBeginLoadProgram",
                                        "effSetProcessPrecision",
                                        "effGetNumMidiInputChannels",
                                        "effGetNumMidiOutputChannels"};
static_assert(std::size(kOpcodeNames) == 80);

}  // namespace

PluginCallScope::PluginCallScope(const char* function, std::int32_t opcode)
    : outerFunction_(functionInProgress.load()), outerOpcode_(opcodeInProgress.load()) {
  opcodeInProgress = opcode;
  functionInProgress = function;
}

PluginCallScope::~PluginCallScope() {
  functionInProgress = outerFunction_;
  opcodeInProgress = outerOpcode_;
}

const char* pluginFunctionInProgress() { return functionInProgress.load(); }

std::int32_t pluginOpcodeInProgress() { return opcodeInProgress.load(); }

const char* dispatcherOpcodeName(std::int32_t opcode) {
  if (opcode < 0 || opcode >= static_cast<std::int32_t>(std::size(kOpcodeNames))) return nullptr;
  return kOpcodeNames[opcode];
}

// The host interface record and the numbers that travel across it.
//
// Hosts read this record directly, so its layout is fixed: on 32-bit Windows
// it is 144 bytes with 4-byte pointers. 64-bit builds keep the same fields
// with pointer-sized members in their natural places.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VST_CALL __cdecl
#else
#define VST_CALL
#endif

struct AEffect;

using audioMasterCallback = std::intptr_t(VST_CALL*)(AEffect* effect, std::int32_t opcode,
                                                     std::int32_t index, std::intptr_t value,
                                                     void* ptr, float opt);
using AEffectDispatcherProc = std::intptr_t(VST_CALL*)(AEffect* effect, std::int32_t opcode,
                                                       std::int32_t index, std::intptr_t value,
                                                       void* ptr, float opt);
using AEffectProcessProc = void(VST_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                           std::int32_t sampleFrames);
using AEffectProcessDoubleProc = void(VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                                 std::int32_t sampleFrames);
using AEffectSetParameterProc = void(VST_CALL*)(AEffect* effect, std::int32_t index,
                                                float parameter);
using AEffectGetParameterProc = float(VST_CALL*)(AEffect* effect, std::int32_t index);

// Four characters packed big-end first, as the interface publishes its constants.
constexpr std::int32_t fourCharConstant(char a, char b, char c, char d) {
  return static_cast<std::int32_t>(
      (static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
      (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
      (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
      static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr std::int32_t kEffectMagic = fourCharConstant('V', 's', 't', 'P');
constexpr std::int32_t kNoEffectUniqueId = fourCharConstant('N', 'o', 'E', 'f');
constexpr std::int32_t kEffectIdentity = fourCharConstant('N', 'v', 'E', 'f');

struct AEffect {
  std::int32_t magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  std::int32_t numPrograms;
  std::int32_t numParams;
  std::int32_t numInputs;
  std::int32_t numOutputs;
  std::int32_t flags;
  std::intptr_t resvd1;
  std::intptr_t resvd2;
  std::int32_t initialDelay;
  std::int32_t realQualities;
  std::int32_t offQualities;
  float ioRatio;
  void* object;
  void* user;
  std::int32_t uniqueID;
  std::int32_t version;
  AEffectProcessProc processReplacing;
  AEffectProcessDoubleProc processDoubleReplacing;
  char future[56];
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(AEffect) == 144, "hosts expect a 144-byte record");
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12);
static_assert(offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, numParams) == 24);
static_assert(offsetof(AEffect, numInputs) == 28);
static_assert(offsetof(AEffect, numOutputs) == 32);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, resvd2) == 44);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, realQualities) == 52);
static_assert(offsetof(AEffect, offQualities) == 56);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, processDoubleReplacing) == 84);
static_assert(offsetof(AEffect, future) == 88);
#endif

enum AEffectFlags : std::int32_t {
  effFlagsHasEditor = 1 << 0,
  effFlagsCanReplacing = 1 << 4,
  effFlagsProgramChunks = 1 << 5,
  effFlagsIsSynth = 1 << 8,
  effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes. Those that only older hosts send keep their names so a
// reader can find them; the dispatcher answers them with 0.
enum AEffectOpcodes : std::int32_t {
  effOpen = 0,
  effClose,
  effSetProgram,
  effGetProgram,
  effSetProgramName,
  effGetProgramName,
  effGetParamLabel,
  effGetParamDisplay,
  effGetParamName,
  effGetVu,
  effSetSampleRate,
  effSetBlockSize,
  effMainsChanged,
  effEditGetRect,
  effEditOpen,
  effEditClose,
  effEditDraw,
  effEditMouse,
  effEditKey,
  effEditIdle,
  effEditTop,
  effEditSleep,
  effIdentify,
  effGetChunk,
  effSetChunk,
  effProcessEvents,
  effCanBeAutomated,
  effString2Parameter,
  effGetNumProgramCategories,
  effGetProgramNameIndexed,
  effCopyProgram,
  effConnectInput,
  effConnectOutput,
  effGetInputProperties,
  effGetOutputProperties,
  effGetPlugCategory,
  effGetCurrentPosition,
  effGetDestinationBuffer,
  effOfflineNotify,
  effOfflinePrepare,
  effOfflineRun,
  effProcessVarIo,
  effSetSpeakerArrangement,
  effSetBlockSizeAndSampleRate,
  effSetBypass,
  effGetEffectName,
  effGetErrorText,
  effGetVendorString,
  effGetProductString,
  effGetVendorVersion,
  effVendorSpecific,
  effCanDo,
  effGetTailSize,
  effIdle,
  effGetIcon,
  effSetViewPosition,
  effGetParameterProperties,
  effKeysRequired,
  effGetVstVersion,
  effEditKeyDown,
  effEditKeyUp,
  effSetEditKnobMode,
  effGetMidiProgramName,
  effGetCurrentMidiProgram,
  effGetMidiProgramCategory,
  effHasMidiProgramsChanged,
  effGetMidiKeyName,
  effBeginSetProgram,
  effEndSetProgram,
  effGetSpeakerArrangement,
  effShellGetNextPlugin,
  effStartProcess,
  effStopProcess,
  effSetTotalSampleToProcess,
  effSetPanLaw,
  effBeginLoadBank,
  effBeginLoadProgram,
  effSetProcessPrecision,
  effGetNumMidiInputChannels,
  effGetNumMidiOutputChannels,
};
static_assert(effGetNumMidiOutputChannels == 79);

// Host callback opcodes this plugin sends.
enum AudioMasterOpcodes : std::int32_t {
  audioMasterVersion = 1,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
};

// Request-mask bits of audioMasterGetTime, and the transport bits of the
// host's time record.
enum VstTimeInfoFlags : std::int32_t {
  kVstTransportPlaying = 1 << 1,
  kVstTransportRecording = 1 << 3,
  kVstPpqPosValid = 1 << 9,
  kVstTempoValid = 1 << 10,
  kVstTimeSigValid = 1 << 13,
};

// The fields of the host's time record that the shell reads, by byte offset.
// The record is the host's; only these offsets are relied on.
namespace VstTimeInfoOffsets {
constexpr std::size_t ppqPos = 24;
constexpr std::size_t tempo = 32;
constexpr std::size_t timeSigNumerator = 64;
constexpr std::size_t timeSigDenominator = 68;
constexpr std::size_t flags = 84;
}  // namespace VstTimeInfoOffsets

constexpr std::int32_t kVstVersion = 2400;
constexpr char kCanDoReceiveVstMidiEvent[] = "receiveVstMidiEvent";

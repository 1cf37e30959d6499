// What a host sees of the downmixer through its record, its texts, its
// parameters and its saved state: the one description that every suite, fuzz
// target and benchmark holds the plugin to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "aeffect.h"
#include "downmixer_identity.h"

// The record a fresh instance hands over.
constexpr std::size_t kChannelCount = 6;  // inputs and outputs alike
constexpr std::int32_t kProgramCount = 1;
constexpr std::int32_t kUniqueId = 0;
constexpr std::int32_t kPluginVersion = 1;
constexpr std::int32_t kRecordFlags =
    effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing;

// Host parameter indices, from 0: a level per input pair, a mute per pair,
// then the master level and the routing of outputs 3 to 6. The effect keeps
// each one's value under its value number, which counts from 1
// (valueNumberOf).
constexpr std::int32_t kPairCount = 3;
constexpr std::int32_t kFirstLevelIndex = 0;
constexpr std::int32_t kFirstMuteIndex = 3;
constexpr std::int32_t kMasterLevelIndex = 6;
constexpr std::int32_t kBusRoutingIndex = 7;
constexpr std::int32_t kParameterCount = 8;

// The list parameters show their entries for the control values 0 and 1;
// these values select the second entries.
constexpr double kMuted = 1.0;
constexpr double kBussesPassed = 1.0;

using ListEntries = std::array<const char*, 2>;
inline constexpr ListEntries kNoEntries{};
inline constexpr ListEntries kMuteEntries{"unmute", "mute"};
inline constexpr ListEntries kRoutingEntries{"mute all busses above 1-2",
                                             "pass through all busses"};

struct ParameterView {
  const char* name;
  const char* label;
  double minimum;
  double maximum;
  double step;
  ListEntries entries;  // none for a numeric parameter

  bool isList() const { return entries[0] != nullptr; }
};

// Every control starts at the control value 0.
inline constexpr ParameterView kParameters[kParameterCount] = {
    {"level stereo 1", "dB", -167.0, 0.0, 0.1, kNoEntries},
    {"level stereo 2", "dB", -167.0, 0.0, 0.1, kNoEntries},
    {"level stereo 3", "dB", -167.0, 0.0, 0.1, kNoEntries},
    {"mute stereo 1", "", 0.0, 1.0, 1.0, kMuteEntries},
    {"mute stereo 2", "", 0.0, 1.0, 1.0, kMuteEntries},
    {"mute stereo 3", "", 0.0, 1.0, 1.0, kMuteEntries},
    {"master level", "dB", -9.0, 9.0, 0.1, kNoEntries},
    {"busses silent after mixer", "", 0.0, 1.0, 1.0, kRoutingEntries},
};

// The normalised position of a control value of the parameter at index, as
// the host sends and reads it. Values outside the range lie outside 0 to 1:
// the plugin does not clamp.
double positionOf(std::int32_t index, double value);
double levelPosition(double decibels);
double masterPosition(double decibels);

// Bytes each text opcode may write, the terminating zero included.
constexpr std::size_t kParameterNameLimit = 32;
constexpr std::size_t kParameterLabelLimit = 8;
constexpr std::size_t kParameterDisplayLimit = 8;
constexpr std::size_t kProgramNameLimit = 24;
constexpr std::size_t kEffectNameLimit = 32;
constexpr std::size_t kVendorStringLimit = 64;
constexpr std::size_t kProductStringLimit = 64;

// The text opcodes with the limits of their buffers: those that take a
// parameter index, and those of the whole instance.
struct TextOpcode {
  const char* what;
  std::int32_t opcode;
  std::size_t limit;
};

inline constexpr TextOpcode kParameterTexts[] = {
    {"name", effGetParamName, kParameterNameLimit},
    {"label", effGetParamLabel, kParameterLabelLimit},
    {"display", effGetParamDisplay, kParameterDisplayLimit},
};

inline constexpr TextOpcode kInstanceTexts[] = {
    {"program name", effGetProgramName, kProgramNameLimit},
    {"effect name", effGetEffectName, kEffectNameLimit},
    {"vendor", effGetVendorString, kVendorStringLimit},
    {"product", effGetProductString, kProductStringLimit},
};

// The limit of a text opcode above; 0 for any other opcode.
std::size_t textLimitOf(std::int32_t opcode);

// The longest text a buffer of this limit can carry.
std::string cutToLimit(const std::string& text, std::size_t limit);

// The time requests of every processing call, in order: tempo and signature,
// playing, recording, position. The initialisation that switching on and the
// first load run asks only for the tempo.
inline constexpr std::array<std::intptr_t, 4> kBlockTimeRequestMasks = {
    kVstTempoValid | kVstTimeSigValid, kVstTransportPlaying, kVstTransportRecording,
    kVstPpqPosValid};
constexpr std::intptr_t kInitialisationTimeRequestMask = kVstTempoValid;

// The saved state: the marker, then control values 1 to 64 as little-endian
// floats. Values 1 to 8 are the parameters in index order.
constexpr float kStateMarker = -1000.0f;
constexpr std::array<unsigned char, 4> kMarkerBytes = {0x00, 0x00, 0x7A, 0xC4};
constexpr std::size_t kSavedValueCount = 64;
constexpr std::size_t kSavedChunkSize = (1 + kSavedValueCount) * sizeof(float);
static_assert(kSavedChunkSize == 260, "hosts store the state as 260 bytes");

constexpr std::int32_t valueNumberOf(std::int32_t parameterIndex) { return parameterIndex + 1; }

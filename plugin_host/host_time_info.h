// The host's time record that audioMasterGetTime answers with. The plugin
// reads only a few fields by byte offset; the rest stays zero.
#pragma once

#include <cstddef>
#include <cstdint>

#include "aeffect.h"

struct HostTimeInfo {
  double positionAndRate[3]{};  // sample position, sample rate, system time
  double ppqPosition = 0.0;
  double tempo = 120.0;
  double barAndCyclePositions[3]{};
  std::int32_t timeSigNumerator = 4;
  std::int32_t timeSigDenominator = 4;
  std::int32_t smpteAndClock[3]{};
  std::int32_t flags = 0;
};

static_assert(sizeof(HostTimeInfo) == 88, "hosts hand out an 88-byte time record");
static_assert(offsetof(HostTimeInfo, ppqPosition) == VstTimeInfoOffsets::ppqPos);
static_assert(offsetof(HostTimeInfo, tempo) == VstTimeInfoOffsets::tempo);
static_assert(offsetof(HostTimeInfo, timeSigNumerator) == VstTimeInfoOffsets::timeSigNumerator);
static_assert(offsetof(HostTimeInfo, timeSigDenominator) == VstTimeInfoOffsets::timeSigDenominator);
static_assert(offsetof(HostTimeInfo, flags) == VstTimeInfoOffsets::flags);

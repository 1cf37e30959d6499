#include "fake_host.h"

#include <cstring>

namespace {

FakeHost* currentHost = nullptr;

template <typename Field>
void writeField(unsigned char* bytes, std::size_t offset, Field value) {
  std::memcpy(bytes + offset, &value, sizeof value);
}

}  // namespace

void FakeTimeInfo::setTempo(double bpm) { writeField(bytes, VstTimeInfoOffsets::tempo, bpm); }

void FakeTimeInfo::setPpqPosition(double quarterNotes) {
  writeField(bytes, VstTimeInfoOffsets::ppqPos, quarterNotes);
}

void FakeTimeInfo::setSignature(std::int32_t numerator, std::int32_t denominator) {
  writeField(bytes, VstTimeInfoOffsets::timeSigNumerator, numerator);
  writeField(bytes, VstTimeInfoOffsets::timeSigDenominator, denominator);
}

void FakeTimeInfo::setFlags(std::int32_t flags) {
  writeField(bytes, VstTimeInfoOffsets::flags, flags);
}

FakeHost::FakeHost() { currentHost = this; }
FakeHost::~FakeHost() { currentHost = nullptr; }

std::vector<std::int32_t> FakeHost::opcodes() const {
  std::vector<std::int32_t> result;
  for (const HostCall& call : calls) result.push_back(call.opcode);
  return result;
}

std::vector<std::intptr_t> FakeHost::timeRequests() const {
  std::vector<std::intptr_t> result;
  for (const HostCall& call : calls)
    if (call.opcode == audioMasterGetTime) result.push_back(call.value);
  return result;
}

std::intptr_t VST_CALL fakeHostCallback(AEffect* effect, std::int32_t opcode, std::int32_t,
                                        std::intptr_t value, void*, float) {
  if (currentHost == nullptr) return 0;
  currentHost->calls.push_back({effect, opcode, value});
  switch (opcode) {
    case audioMasterVersion: return currentHost->versionAnswer;
    case audioMasterGetTime:
      return currentHost->hasTime ? reinterpret_cast<std::intptr_t>(currentHost->time.bytes) : 0;
    default: return 0;
  }
}

// A stand-in host for in-process tests: records every host callback and
// answers the version and time requests as a test sets it up.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/aeffect.h"

struct HostCall {
  AEffect* effect;
  std::int32_t opcode;
  std::intptr_t value;
};

// The time record the plugin reads, laid out at the byte offsets it uses.
struct FakeTimeInfo {
  unsigned char bytes[88] = {};

  void setTempo(double bpm);
  void setPpqPosition(double quarterNotes);
  void setSignature(std::int32_t numerator, std::int32_t denominator);
  void setFlags(std::int32_t flags);
};

struct FakeHost {
  std::intptr_t versionAnswer = 2400;
  bool hasTime = true;
  FakeTimeInfo time;
  std::vector<HostCall> calls;

  // Installs this host as the one the callback reports to.
  FakeHost();
  ~FakeHost();

  std::vector<std::int32_t> opcodes() const;
  std::vector<std::intptr_t> timeRequests() const;
};

std::intptr_t VST_CALL fakeHostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                        std::intptr_t value, void* ptr, float opt);

// How many bytes each text opcode may write into the host's buffer, the
// terminating zero included. Hosts differ: some give only 9 bytes for labels
// and display texts, and exactly 24, 32 and 64 for program name, effect name
// and vendor or product string, so nothing is written past these limits.
#pragma once

#include <cstddef>

enum class HostText {
  ParameterName,
  ParameterLabel,
  ParameterDisplay,
  ProgramName,
  EffectName,
  VendorString,
  ProductString,
};

constexpr std::size_t hostTextLimit(HostText kind) {
  switch (kind) {
    case HostText::ParameterName:
      return 32;
    case HostText::ParameterLabel:
      return 8;
    case HostText::ParameterDisplay:
      return 8;
    case HostText::ProgramName:
      return 24;
    case HostText::EffectName:
      return 32;
    case HostText::VendorString:
      return 64;
    case HostText::ProductString:
      return 64;
  }
  return 1;
}

// Copies text into the host's buffer, cut to the limit and terminated. Bytes
// after the terminating zero are left as the host had them.
void copyToHost(HostText kind, const char* text, char* hostBuffer);

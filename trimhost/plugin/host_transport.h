// The host's time record as the plugin reads it while a file renders: tempo,
// time signature and transport state, with the play position moving on by
// each block while the transport plays.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "plugin_host/host_time_info.h"

enum class TransportState { Stopped, Playing, Recording };

// The states by the lower-case names --transport takes.
const std::map<std::string, TransportState>& transportStates();

struct TransportSettings {
  double tempo = 120.0;
  std::int32_t numerator = 4;
  std::int32_t denominator = 4;
  TransportState state = TransportState::Stopped;
};

// "3/4" into numerator and denominator. Throws ToolError (ExitStatus::Usage).
void parseTimeSignature(const std::string& text, TransportSettings& settings);

class HostTransport {
 public:
  HostTransport(HostTimeInfo& record, const TransportSettings& settings, double sampleRate);

  // After each block: the sample and quarter-note positions move on while
  // the transport plays (or records).
  void advance(std::int32_t frames);

 private:
  HostTimeInfo& record_;
  bool moving_;
  double sampleRate_;
};

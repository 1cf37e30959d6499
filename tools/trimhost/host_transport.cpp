#include "host_transport.h"

#include <cstdio>

#include "tool_error.h"

namespace {

std::int32_t transportFlags(TransportState state) {
  switch (state) {
    case TransportState::Recording:
      return kVstTransportPlaying | kVstTransportRecording;
    case TransportState::Playing:
      return kVstTransportPlaying;
    case TransportState::Stopped:
      break;
  }
  return 0;
}

}  // namespace

void parseTimeSignature(const std::string& text, TransportSettings& settings) {
  int numerator = 0;
  int denominator = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%d/%d%c", &numerator, &denominator, &rest) != 2 ||
      numerator <= 0 || denominator <= 0) {
    throw ToolError(ExitStatus::Usage, "--time-signature " + text + ": expected N/D, such as 3/4");
  }
  settings.numerator = numerator;
  settings.denominator = denominator;
}

HostTransport::HostTransport(HostTimeInfo& record, const TransportSettings& settings,
                             double sampleRate)
    : record_(record), moving_(settings.state != TransportState::Stopped), sampleRate_(sampleRate) {
  record_ = HostTimeInfo{};
  record_.positionAndRate[1] = sampleRate;
  record_.tempo = settings.tempo;
  record_.timeSigNumerator = settings.numerator;
  record_.timeSigDenominator = settings.denominator;
  record_.flags =
      kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid | transportFlags(settings.state);
}

void HostTransport::advance(std::int32_t frames) {
  if (!moving_) return;
  record_.positionAndRate[0] += frames;
  record_.ppqPosition += frames / sampleRate_ * record_.tempo / 60.0;
}

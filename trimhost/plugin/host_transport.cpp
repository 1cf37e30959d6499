#include "trimhost/plugin/host_transport.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "trimhost/cli/tool_error.h"

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

namespace {

constexpr long kMostBeats = 99;
constexpr long kShortestNote = 64;

// A whole number from the start of the text, or -1; `end` is where it stops.
long wholeNumberAt(const char* text, const char** end) {
  char* stop = nullptr;
  errno = 0;
  const long value =
      std::isdigit(static_cast<unsigned char>(*text)) ? std::strtol(text, &stop, 10) : -1;
  *end = stop != nullptr ? stop : text;
  return errno == ERANGE ? -1 : value;
}

bool isPowerOfTwo(long value) { return value > 0 && (value & (value - 1)) == 0; }

}  // namespace

const std::map<std::string, TransportState>& transportStates() {
  static const std::map<std::string, TransportState> states{
      {"stopped", TransportState::Stopped},
      {"playing", TransportState::Playing},
      {"recording", TransportState::Recording}};
  return states;
}

void parseTimeSignature(const std::string& text, TransportSettings& settings) {
  const char* rest = text.c_str();
  const long numerator = wholeNumberAt(rest, &rest);
  const bool slash = *rest == '/';
  const long denominator = slash ? wholeNumberAt(rest + 1, &rest) : -1;
  const std::string option = "--time-signature " + text + ": ";
  if (!slash || *rest != '\0' || numerator < 0 || denominator < 0)
    throw ToolError(ExitStatus::Usage, option + "expected N/D, such as 3/4");
  if (numerator < 1 || numerator > kMostBeats)
    throw ToolError(ExitStatus::Usage, option + "the beats per bar must be from 1 to 99");
  if (!isPowerOfTwo(denominator) || denominator > kShortestNote)
    throw ToolError(ExitStatus::Usage, option + "the note value must be 1, 2, 4, 8, 16, 32 or 64");
  settings.numerator = static_cast<std::int32_t>(numerator);
  settings.denominator = static_cast<std::int32_t>(denominator);
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

// A plugin compiled into the unit tests and reached through PluginSession's
// in-process constructor. Its parameters show the kinds of display a --set
// has to find its way through, and its programs are chunks or parameter
// values.
#pragma once

#include <cstdint>
#include <memory>

#include "trimhost/plugin/plugin_session.h"

enum FakeParameter : std::int32_t {
  kGain,      // "Gain", dB: -60.0 to 12.0, rising
  kDecay,     // "Decay", ms: 50.00 down to 0.00
  kRatio,     // "Ratio", ":1": 1.0, 2.0, 4.0 and 8.0 in four equal steps
  kMode,      // "Mode": five texts, three of them cut
  kFeedback,  // "Feedback amount", cut to "Feedbac"
  kSendA,     // "Send level A" and
  kSendB,     // "Send level B", both cut to "Send le"
  kFakeParameters
};

constexpr std::int32_t kFakePluginId = fourCharConstant('F', 'a', 'k', 'e');

enum class FakePrograms { Parameters, Chunks };

// A session on a new instance, made through the in-process entry point.
std::unique_ptr<PluginSession> openFakePlugin(FakePrograms programs);

// How many chunks the instance has been given.
int chunksLoaded(PluginSession& session);

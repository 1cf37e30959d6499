#include "effect/tovra_effect.h"

#include <cmath>
#include <string>

#include "plugin_identity.h"
#include "runtime/script_rules.h"

namespace {

// Value numbers of the controls: which of the 128 control values each one
// keeps its value in. The host's parameter index of a control is another
// number, its place in definition order from 0 (master level: value number 7,
// host index 6).
constexpr int kLevel1ValueNumber = 1;
constexpr int kLevel2ValueNumber = 2;
constexpr int kLevel3ValueNumber = 3;
constexpr int kMute1ValueNumber = 4;
constexpr int kMute2ValueNumber = 5;
constexpr int kMute3ValueNumber = 6;
constexpr int kMasterLevelValueNumber = 7;
constexpr int kBusRoutingValueNumber = 8;

// The saved state: control values 1 to 64.
constexpr double kLastSavedValue = 64.0;

double decibelsToGain(double decibels) { return sanitised(std::pow(10.0, decibels / 20.0)); }

}  // namespace

TTovraEffect::TTovraEffect() {
  describe();
  defineControls();
  setFactors(DownmixFactors{});
}

void TTovraEffect::describe() {
  effectName = plugin_identity::kEffectName;
  productString = plugin_identity::kEffectName;
  programName = plugin_identity::kEffectName;
  vendorString = plugin_identity::kVendor;
  vendorVersion = plugin_identity::kVendorVersion;
  uniqueId = 0;
  pinCount = kChannelCount;
}

void TTovraEffect::defineControls() {
  for (int pair = 1; pair <= 3; ++pair)
    defineControl(kLevel1ValueNumber + pair - 1, nullptr, 0, -167, 0, 0.1, "", "", "dB",
                  "level stereo " + std::to_string(pair));
  for (int pair = 1; pair <= 3; ++pair) {
    defineControl(kMute1ValueNumber + pair - 1, nullptr, 0, 0, 1, 1, "", "", "",
                  "mute stereo " + std::to_string(pair));
    appendEnumerationText("unmute");
    appendEnumerationText("mute");
  }
  defineControl(kMasterLevelValueNumber, nullptr, 0, -9, 9, 0.1, "", "", "dB", "master level");
  defineControl(kBusRoutingValueNumber, nullptr, 0, 0, 1, 1, "", "", "",
                "busses silent after mixer");
  appendEnumerationText("mute all busses above 1-2");
  appendEnumerationText("pass through all busses");
}

void TTovraEffect::effectOpen() {
  TTovra::open();
  setFactors(DownmixFactors{});
  inputs_ = DownmixInputs{};
  serializeIndex = 0.0;
  system_ = SystemValues{};
}

void TTovraEffect::initSection() { system_.initialisationPreamble(shell()); }

void TTovraEffect::controlSection() {
  system_.refreshScriptCopies();
  DownmixFactors f;
  f.pairGain1 = decibelsToGain(controlValues_[kLevel1ValueNumber]);
  f.pairGain2 = decibelsToGain(controlValues_[kLevel2ValueNumber]);
  f.pairGain3 = decibelsToGain(controlValues_[kLevel3ValueNumber]);
  f.pairOn1 = sanitised(1.0 - controlValues_[kMute1ValueNumber]);
  f.pairOn2 = sanitised(1.0 - controlValues_[kMute2ValueNumber]);
  f.pairOn3 = sanitised(1.0 - controlValues_[kMute3ValueNumber]);
  f.masterGain = decibelsToGain(controlValues_[kMasterLevelValueNumber]);
  f.busPass = sanitised(controlValues_[kBusRoutingValueNumber]);
  setFactors(f);
}

void TTovraEffect::blockSection() { system_.blockPreamble(shell()); }

void TTovraEffect::serializeSection() {
  serializeIndex = 1.0;
  boundedLoop([this] {
    stateStream().transfer(controlValues_[controlIndex(serializeIndex)]);
    serializeIndex = sanitised(serializeIndex + 1.0);
    return serializeIndex <= kLastSavedValue;
  });
}

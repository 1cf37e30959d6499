#include "effect/tovra_effect.h"

#include <cmath>
#include <string>

#include "plugin_identity.h"
#include "runtime/script_rules.h"

namespace {

// Value numbers of the controls.
constexpr int kLevel1 = 1;
constexpr int kLevel2 = 2;
constexpr int kLevel3 = 3;
constexpr int kMute1 = 4;
constexpr int kMute2 = 5;
constexpr int kMute3 = 6;
constexpr int kMasterLevel = 7;
constexpr int kBusRouting = 8;

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
    defineControl(kLevel1 + pair - 1, nullptr, 0, -167, 0, 0.1, "", "", "dB",
                  "level stereo " + std::to_string(pair));
  for (int pair = 1; pair <= 3; ++pair) {
    defineControl(kMute1 + pair - 1, nullptr, 0, 0, 1, 1, "", "", "",
                  "mute stereo " + std::to_string(pair));
    appendEnumerationText("unmute");
    appendEnumerationText("mute");
  }
  defineControl(kMasterLevel, nullptr, 0, -9, 9, 0.1, "", "", "dB", "master level");
  defineControl(kBusRouting, nullptr, 0, 0, 1, 1, "", "", "", "busses silent after mixer");
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
  f.pairGain1 = decibelsToGain(controlValues_[kLevel1]);
  f.pairGain2 = decibelsToGain(controlValues_[kLevel2]);
  f.pairGain3 = decibelsToGain(controlValues_[kLevel3]);
  f.pairOn1 = sanitised(1.0 - controlValues_[kMute1]);
  f.pairOn2 = sanitised(1.0 - controlValues_[kMute2]);
  f.pairOn3 = sanitised(1.0 - controlValues_[kMute3]);
  f.masterGain = decibelsToGain(controlValues_[kMasterLevel]);
  f.busPass = sanitised(controlValues_[kBusRouting]);
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

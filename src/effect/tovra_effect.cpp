#include "effect/tovra_effect.h"

namespace {

constexpr char kEffectName[] = "Kestrivane_trimixer 3 stereo pairs to 1 out";
constexpr char kVendor[] = "Kestrivane";

}  // namespace

TTovraEffect::TTovraEffect() {
  describe();
  defineControls();
}

void TTovraEffect::describe() {
  effectName = kEffectName;
  productString = kEffectName;
  programName = kEffectName;
  vendorString = kVendor;
  vendorVersion = 1000;
  uniqueId = 0;
  pinCount = 6;
}

void TTovraEffect::defineControls() {
  defineControl(1, nullptr, 0, -167, 0, 0.1, "", "", "dB", "level stereo 1");
  defineControl(2, nullptr, 0, -167, 0, 0.1, "", "", "dB", "level stereo 2");
  defineControl(3, nullptr, 0, -167, 0, 0.1, "", "", "dB", "level stereo 3");
  for (int pair = 1; pair <= 3; ++pair) {
    defineControl(3 + pair, nullptr, 0, 0, 1, 1, "", "", "", "mute stereo " + std::to_string(pair));
    appendEnumerationText("unmute");
    appendEnumerationText("mute");
  }
  defineControl(7, nullptr, 0, -9, 9, 0.1, "", "", "dB", "master level");
  defineControl(8, nullptr, 0, 0, 1, 1, "", "", "", "busses silent after mixer");
  appendEnumerationText("mute all busses above 1-2");
  appendEnumerationText("pass through all busses");
}

void TTovraEffect::initSection() { system_.initialisationPreamble(shell()); }

void TTovraEffect::controlSection() { system_.refreshScriptCopies(); }

void TTovraEffect::blockSection() { system_.blockPreamble(shell()); }

void TTovraEffect::sampleSection() { system_.refreshScriptCopies(); }

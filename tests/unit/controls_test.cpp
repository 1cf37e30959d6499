#include "runtime/controls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "recording_effect.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Value numbers deliberately differ from the descriptor positions.
struct ControlledEffect : RecordingEffect {
  double linked = 0.0;
  ControlledEffect() {
    defineControl(5, nullptr, 0, -167, 0, 0.1, "", "", "dB", "level");
    defineControl(2, &linked, 0, 0, 1, 1, "", "", "", "switch");
    appendEnumerationText("unmute");
    appendEnumerationText("mute");
    defineControl(9, nullptr, 0.5, 0, 1, 0.001, "", "", "%", "fine");
  }
};

constexpr std::int32_t kLevel = 0;
constexpr std::int32_t kSwitch = 1;
constexpr std::int32_t kFine = 2;

TEST(DefineControl, StoresTheDefaultAndAnswersTheDescriptorIndex) {
  RecordingEffect effect;
  EXPECT_EQ(effect.defineControl(7, nullptr, -3.0, -9, 9, 0.1, "", "", "dB", "a"), 0);
  EXPECT_EQ(effect.defineControl(3, nullptr, 1.0, 0, 1, 1, "", "", "", "b"), 1);
  EXPECT_EQ(effect.controlValue(7), -3.0);
  EXPECT_EQ(effect.controlValue(3), 1.0);
  EXPECT_EQ(effect.controlCount(), 2);
  EXPECT_TRUE(effect.descriptor(1).listed);
  EXPECT_EQ(effect.descriptor(1).valueNumber, 3);
}

TEST(SetParameter, QuantisesToTheStepGridAnchoredAtZero) {
  ControlledEffect effect;
  setNormalisedControlValue(effect, kLevel, 0.0);
  EXPECT_NEAR(effect.controlValue(5), -167.0, 1e-9);
  setNormalisedControlValue(effect, kLevel, 0.5);
  EXPECT_NEAR(effect.controlValue(5), -83.5, 1e-9);
  setNormalisedControlValue(effect, kLevel, 1.0);
  EXPECT_EQ(effect.controlValue(5), 0.0);
  setNormalisedControlValue(effect, kSwitch, 0.49);
  EXPECT_EQ(effect.controlValue(2), 0.0);
  setNormalisedControlValue(effect, kSwitch, 0.5);
  EXPECT_EQ(effect.controlValue(2), 1.0);
}

TEST(SetParameter, DoesNotClampToTheRange) {
  ControlledEffect effect;
  setNormalisedControlValue(effect, kSwitch, 2.6);
  EXPECT_EQ(effect.controlValue(2), 3.0);
  setNormalisedControlValue(effect, kLevel, -1.0);
  EXPECT_NEAR(effect.controlValue(5), -334.0, 1e-9);
}

TEST(SetParameter, RunsTheControlSectionOnlyForARealChange) {
  ControlledEffect effect;
  setNormalisedControlValue(effect, kFine, 0.5);  // the default already
  EXPECT_EQ(effect.controlRuns, 0);
  effect.setControlValue(9, 0.500005);
  setNormalisedControlValue(effect, kFine, 0.5);
  EXPECT_EQ(effect.controlRuns, 0);
  EXPECT_EQ(effect.controlValue(9), 0.500005);
  setNormalisedControlValue(effect, kFine, 0.25);
  EXPECT_EQ(effect.controlRuns, 1);
  EXPECT_NEAR(effect.controlValue(9), 0.25, 1e-12);
}

TEST(SetParameter, WritesTheLinkedVariableToo) {
  ControlledEffect effect;
  setNormalisedControlValue(effect, kSwitch, 1.0);
  EXPECT_EQ(effect.linked, 1.0);
}

TEST(SetParameter, IgnoresUnknownIndicesAndNonFiniteValues) {
  ControlledEffect effect;
  const auto before = effect.controlCount();
  for (std::int32_t index : {-1, 3, 127, 1000, std::numeric_limits<std::int32_t>::min()})
    setNormalisedControlValue(effect, index, 1.0);
  for (double x : {kNaN, kInf, -kInf}) setNormalisedControlValue(effect, kLevel, x);
  EXPECT_EQ(effect.controlRuns, 0);
  EXPECT_EQ(effect.controlValue(5), 0.0);
  EXPECT_EQ(effect.controlCount(), before);
  for (int number = 0; number < 128; ++number) {
    if (number != 9) {
      EXPECT_EQ(effect.controlValue(number), 0.0) << number;
    }
  }
}

TEST(GetParameter, NormalisesWithoutClamping) {
  ControlledEffect effect;
  effect.setControlValue(5, -83.5);
  EXPECT_DOUBLE_EQ(normalisedControlValue(effect, kLevel), 0.5);
  effect.setControlValue(5, -334.0);
  EXPECT_DOUBLE_EQ(normalisedControlValue(effect, kLevel), -1.0);
  effect.setControlValue(2, 3.0);
  EXPECT_DOUBLE_EQ(normalisedControlValue(effect, kSwitch), 3.0);
  EXPECT_EQ(normalisedControlValue(effect, -1), 0.0);
  EXPECT_EQ(normalisedControlValue(effect, 3), 0.0);
}

TEST(GetParameter, TheParameterIndexSelectsTheDescriptorNotTheValueNumber) {
  ControlledEffect effect;
  effect.setControlValue(1, 1.0);  // value number 1 belongs to no descriptor
  effect.setControlValue(2, 1.0);
  EXPECT_EQ(normalisedControlValue(effect, kSwitch), 1.0);
  EXPECT_EQ(normalisedControlValue(effect, kFine), 0.5);
}

TEST(DisplayText, FormatsNumbersWithTwoDecimals) {
  ControlledEffect effect;
  effect.setControlValue(5, -83.456);
  EXPECT_EQ(controlDisplayText(effect, kLevel), "-83.46");
  effect.setControlValue(5, -167.0);
  EXPECT_EQ(controlDisplayText(effect, kLevel), "-167.00");
  effect.setControlValue(5, kNaN);
  EXPECT_EQ(controlDisplayText(effect, kLevel), "nan");
  effect.setControlValue(5, -std::numeric_limits<double>::max());
  const std::string huge = controlDisplayText(effect, kLevel);
  EXPECT_EQ(huge.size(), 313u);
  EXPECT_EQ(huge.substr(huge.size() - 3), ".00");
}

TEST(DisplayText, ListControlsClampBeforeSelectingAText) {
  ControlledEffect effect;
  const std::pair<double, const char*> cases[] = {
      {0.0, "unmute"},  {1.0, "mute"},  {2.5, "mute"},     {-4.0, "unmute"}, {0.99, "unmute"},
      {kNaN, "unmute"}, {kInf, "mute"}, {-kInf, "unmute"}, {1e300, "mute"}};
  for (const auto& [value, text] : cases) {
    effect.setControlValue(2, value);
    EXPECT_EQ(controlDisplayText(effect, kSwitch), text) << value;
  }
}

TEST(ControlTexts, UnknownIndicesGiveEmptyTexts) {
  ControlledEffect effect;
  EXPECT_EQ(controlName(effect, kFine), "fine");
  EXPECT_EQ(controlLabel(effect, kLevel), "dB");
  for (std::int32_t index : {-1, 3, 1 << 30}) {
    EXPECT_EQ(controlName(effect, index), "");
    EXPECT_EQ(controlLabel(effect, index), "");
    EXPECT_EQ(controlDisplayText(effect, index), "");
  }
}

}  // namespace

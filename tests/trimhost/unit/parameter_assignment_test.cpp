// --set and --set-normalised against a plugin in this process: how the
// options are read, which parameter they name, and which normalised value
// shows the wanted display.
#include "trimhost/settings/parameter_assignment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "expect_tool_error.h"
#include "fake_plugin.h"
#include "trimhost/settings/display_search.h"

namespace {

constexpr ValueForm kShown = ValueForm::Shown;
constexpr ValueForm kNormalised = ValueForm::Normalised;

struct ParsedCase {
  const char* text;
  ValueForm form;
  const char* parameter;
  const char* value;
};

TEST(AssignmentParsing, SplitsAtTheFirstEqualsSignAndTrimsTheName) {
  for (const ParsedCase& c :
       std::vector<ParsedCase>{{"Gain=-6", kShown, "Gain", "-6"},
                               {" send level =-3 dB", kShown, "send level", "-3 dB"},
                               {"Mode=a=b", kShown, "Mode", "a=b"},
                               {"0=0.25", kNormalised, "0", "0.25"},
                               {"Gain=1", kNormalised, "Gain", "1"},
                               {"Gain= 0 ", kNormalised, "Gain", " 0 "}}) {
    SCOPED_TRACE(c.text);
    const ParameterAssignment assignment = parseAssignment(c.text, c.form);
    EXPECT_EQ(assignment.parameter, c.parameter);
    EXPECT_EQ(assignment.value, c.value);
    EXPECT_EQ(assignment.form, c.form);
  }
}

struct RefusedCase {
  const char* text;
  ValueForm form;
  const char* message;
};

TEST(AssignmentParsing, RefusesAMissingNameOrAnUnnormalisedValue) {
  for (const RefusedCase& c : std::vector<RefusedCase>{
           {"Gain", kShown,
            "--set Gain: expected NAME_OR_INDEX=VALUE, for example 'master level=-3'"},
           {"=-6", kShown, "--set =-6: expected NAME_OR_INDEX=VALUE"},
           {"Gain", kNormalised,
            "--set-normalised Gain: expected NAME_OR_INDEX=VALUE, for example 'master level=0.5'"},
           {"Gain=1.5", kNormalised, "'1.5' is not a normalised value, a number from 0 to 1"},
           {"Gain=-0.1", kNormalised, "'-0.1' is not a normalised value"},
           {"Gain=nan", kNormalised, "'nan' is not a normalised value"},
           {"Gain=0.5dB", kNormalised, "'0.5dB' is not a normalised value"},
           {"Gain=", kNormalised, "'' is not a normalised value"}}) {
    SCOPED_TRACE(c.text);
    expectToolError([&c] { parseAssignment(c.text, c.form); }, ExitStatus::Usage, c.message);
  }
}

// A request and a key part of the message that refuses it.
struct RefusalCase {
  const char* request;
  const char* message;
};

class FakePluginTest : public ::testing::Test {
 protected:
  std::unique_ptr<PluginSession> session_ = openFakePlugin(FakePrograms::Parameters);
};

TEST_F(FakePluginTest, ParametersAreNamedByIndexNameOrTheFullTextOfACutName) {
  for (const auto& [request, index] :
       std::vector<std::pair<const char*, std::int32_t>>{{"0", kGain},
                                                         {"6", kSendB},
                                                         {"gain", kGain},
                                                         {"DECAY", kDecay},
                                                         {"Feedback amount", kFeedback},
                                                         {"feedbac", kFeedback}}) {
    EXPECT_EQ(parameterIndex(*session_, request), index) << request;
  }
}

TEST_F(FakePluginTest, UnknownAndAmbiguousParametersAreRefused) {
  for (const RefusalCase& c : std::vector<RefusalCase>{
           {"7", "no parameter 7: the plugin has 7 parameters"},
           {"1234567890", "no parameter 1234567890: the plugin has 7 parameters"},
           {"Feed",
            "no parameter named 'Feed'; the plugin has 'Gain', 'Decay', 'Ratio', 'Mode', "
            "'Feedbac', 'Send le', 'Send le'"},
           {"Send level A",
            "the parameter name 'Send level A' is ambiguous: it fits parameters 5 6"},
           {"send le", "the parameter name 'send le' is ambiguous: it fits parameters 5 6"}}) {
    SCOPED_TRACE(c.request);
    expectToolError([&] { parameterIndex(*session_, c.request); }, ExitStatus::Parameter,
                    c.message);
  }
}

struct SettingCase {
  ValueForm form;
  const char* text;
  const char* display;
  float normalised;  // the middle of the values that show the display
  bool byCutDisplay;
};

// Within this of the middle: the list is scanned in steps of 0.001.
constexpr float kNormalisedTolerance = 0.002f;

TEST_F(FakePluginTest, ASettingTakesTheMiddleOfTheValuesShowingTheWantedDisplay) {
  for (const SettingCase& c :
       std::vector<SettingCase>{{kShown, "Gain=-6", "-6.0", 0.75f, false},
                                {kShown, "Gain=-6dB", "-6.0", 0.75f, false},
                                {kShown, "gain= -6 DB ", "-6.0", 0.75f, false},
                                {kShown, "Gain=12", "12.0", 0.99965f, false},
                                {kShown, "Gain=-60.04", "-60.0", 0.00035f, false},
                                {kShown, "Decay=20", "20.00", 0.6f, false},
                                {kShown, "Decay=12.5ms", "12.50", 0.75f, false},
                                {kShown, "Decay=0", "0.00", 0.99995f, false},
                                {kShown, "Ratio=4", "4.0", 0.625f, false},
                                {kShown, "Ratio=2:1", "2.0", 0.375f, false},
                                {kShown, "Feedback amount=33%", "33", 0.33f, false},
                                {kShown, "Mode=off", "Off", 0.1f, false},
                                {kShown, "Mode=BYPASS", "Bypass", 0.3f, false},
                                {kShown, "Mode=pass th", "Pass th", 0.5f, false},
                                {kShown, "Mode=Pass through", "Pass th", 0.5f, true},
                                {kNormalised, "Gain=0.75", "-6.0", 0.75f, false},
                                {kNormalised, "3=0", "Off", 0.0f, false}}) {
    SCOPED_TRACE(c.text);
    const AppliedAssignment applied = applyAssignment(*session_, parseAssignment(c.text, c.form));
    EXPECT_EQ(applied.state.display, c.display);
    EXPECT_NEAR(applied.state.normalised, c.normalised, kNormalisedTolerance);
    EXPECT_EQ(applied.byCutDisplay, c.byCutDisplay);
  }
}

TEST_F(FakePluginTest, DisplaysOutOfReachAreRefusedNamingWhatTheParameterShows) {
  for (const RefusalCase& c : std::vector<RefusalCase>{
           {"Gain=20",
            "'Gain' cannot be set to '20': the nearest it shows is 12.0 (its display "
            "runs from -60.0 to 12.0)"},
           {"Gain=-70dB", "the nearest it shows is -60.0 "},
           {"Ratio=3", "'Ratio' cannot be set to '3': the nearest it shows are 2.0 and 4.0"},
           {"Ratio=5:1", "the nearest it shows are 4.0 and 8.0 (its display runs from 1.0 to 8.0)"},
           {"Decay=60", "the nearest it shows is 50.00 (its display runs from 50.00 to 0.00)"},
           {"Decay=-1ms", "the nearest it shows is 0.00 "},
           {"Gain=loud",
            "'Gain' cannot be set to 'loud': it takes a number in dB from -60.0 to 12.0"},
           {"Gain=-6 Hz", "'Gain' cannot be set to '-6 Hz': it takes a number in dB from -60.0"},
           {"Mode=Pass",
            "'Mode' cannot be set to 'Pass': it shows 'Off', 'Bypass', 'Pass th', "
            "'Mute al', 'mute al'"},
           {"Mode=Bypass all", "'Mode' cannot be set to 'Bypass all': it shows 'Off'"},
           {"Mode=2", "'mute al'; a normalised value needs --set-normalised"},
           {"Mode=mute all busses",
            "'mute all busses' is ambiguous for 'Mode': it could be any "
            "of 'Mute al', 'mute al'"},
           {"Mode=MUTE AL", "'MUTE AL' is ambiguous for 'Mode'"}}) {
    SCOPED_TRACE(c.request);
    const ParameterAssignment assignment = parseAssignment(c.request, kShown);
    expectToolError([&] { applyAssignment(*session_, assignment); }, ExitStatus::Parameter,
                    c.message);
  }
}

struct DisplayCase {
  const char* text;
  std::optional<NumericDisplay> number;
};

TEST(NumericDisplay, ANumberMayBeFollowedByAUnitAndIsPreciseToHalfItsLastDecimal) {
  for (const DisplayCase& c : std::vector<DisplayCase>{{"-6.0", NumericDisplay{-6.0, 0.05}},
                                                       {" 12 ", NumericDisplay{12.0, 0.5}},
                                                       {"3.25 dB", NumericDisplay{3.25, 0.005}},
                                                       {"-inf dB", NumericDisplay{-INFINITY, 0.5}},
                                                       {"Off", std::nullopt},
                                                       {"1 of 4", std::nullopt},
                                                       {"", std::nullopt}}) {
    SCOPED_TRACE(c.text);
    const std::optional<NumericDisplay> number = numericDisplay(c.text);
    ASSERT_EQ(number.has_value(), c.number.has_value());
    if (!number) continue;
    EXPECT_EQ(number->value, c.number->value);
    EXPECT_DOUBLE_EQ(number->tolerance, c.number->tolerance);
  }
}

}  // namespace

// The eight parameters as the host sees them: names, labels, display texts,
// normalised values and their round trip through the controls' steps.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plugin_under_test.h"

namespace {

class ParameterTest : public HostedPluginTest {
 protected:
  std::optional<std::string> display(std::int32_t index) {
    return plugin.readText(effGetParamDisplay, kParameterDisplayLimit, index).text();
  }

  std::vector<float> allPositions() {
    std::vector<float> positions;
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      positions.push_back(plugin.getParameter(index));
    }
    return positions;
  }
};

// Every control starts at the value 0: a numeric one shows it with two
// decimals, a list its first entry.
std::string defaultDisplay(const ParameterView& parameter) {
  return parameter.isList() ? parameter.entries[0] : "0.00";
}

TEST_F(ParameterTest, FreshInstanceShowsDeclaredParametersAtTheirDefaults) {
  for (std::int32_t index = 0; index < kParameterCount; ++index) {
    SCOPED_TRACE(index);
    const ParameterView& declared = kParameters[index];
    EXPECT_EQ(plugin.readText(effGetParamName, kParameterNameLimit, index).text(),
              cutToLimit(declared.name, kParameterNameLimit));
    EXPECT_EQ(plugin.readText(effGetParamLabel, kParameterLabelLimit, index).text(),
              declared.label);
    EXPECT_EQ(display(index), cutToLimit(defaultDisplay(declared), kParameterDisplayLimit));
    EXPECT_EQ(plugin.getParameter(index), positionOf(index, 0.0));
  }
}

// Far below one control step, above the rounding of a position to float.
constexpr double kPositionTolerance = 1e-6;

struct RoundTrip {
  const char* what;
  std::int32_t index;
  float set;
  double position;
  const char* display;
};

const RoundTrip kRoundTrips[] = {
    {"level midway", 0, 0.5f, levelPosition(-83.5), "-83.50"},
    {"level at minimum", 1, 0.0f, levelPosition(-167.0), "-167.00"},
    {"level at -6 dB", 2, static_cast<float>(161.0 / 167.0), levelPosition(-6.0), "-6.00"},
    {"level snapped to its step", 0, 0.5003f, levelPosition(-83.4), "-83.40"},
    {"level back at maximum", 1, 1.0f, levelPosition(0.0), "0.00"},
    {"mute on", 3, 1.0f, 1.0, "mute"},
    {"mute rounded up from midway", 4, 0.5f, 1.0, "mute"},
    {"mute rounded down", 4, 0.49f, 0.0, "unmute"},
    {"mute beyond its range", 5, 2.5f, 3.0, "mute"},
    {"mute below its range", 3, -1.0f, -1.0, "unmute"},
    {"master at minimum", 6, 0.0f, masterPosition(-9.0), "-9.00"},
    {"master above unity", 6, 0.75f, masterPosition(4.5), "4.50"},
    {"master at maximum", 6, 1.0f, masterPosition(9.0), "9.00"},
    {"busses passed through", 7, 1.0f, 1.0, "pass through all busses"},
};

TEST_F(ParameterTest, RoundTripsThroughTheControlSteps) {
  for (const RoundTrip& trip : kRoundTrips) {
    SCOPED_TRACE(trip.what);
    plugin.setParameter(trip.index, trip.set);
    EXPECT_NEAR(plugin.getParameter(trip.index), trip.position, kPositionTolerance);
    EXPECT_EQ(display(trip.index), cutToLimit(trip.display, kParameterDisplayLimit));
  }
}

TEST_F(ParameterTest, IgnoresNonFiniteValues) {
  plugin.setParameter(0, 0.5f);
  const float nonFinite[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
  for (float value : nonFinite) {
    SCOPED_TRACE(value);
    plugin.setParameter(0, value);
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.5f);
    EXPECT_EQ(display(0), "-83.50");
  }
}

const std::int32_t kIndicesOutOfRange[] = {std::numeric_limits<std::int32_t>::min(), -1,
                                           kParameterCount, 127, 1000};

TEST_F(ParameterTest, AnswersZeroForIndicesOutOfRange) {
  for (std::int32_t index : kIndicesOutOfRange) {
    SCOPED_TRACE(index);
    EXPECT_EQ(plugin.getParameter(index), 0.0f);
  }
}

TEST_F(ParameterTest, ChangesNothingForIndicesOutOfRange) {
  const std::vector<float> before = allPositions();
  for (std::int32_t index : kIndicesOutOfRange) {
    plugin.setParameter(index, 0.25f);
  }

  EXPECT_EQ(allPositions(), before);
}

TEST_F(ParameterTest, WritesEmptyTextsForIndicesOutOfRange) {
  const std::pair<std::int32_t, std::size_t> textOpcodes[] = {
      {effGetParamName, kParameterNameLimit},
      {effGetParamLabel, kParameterLabelLimit},
      {effGetParamDisplay, kParameterDisplayLimit}};
  for (std::int32_t index : kIndicesOutOfRange) {
    for (const auto& [opcode, limit] : textOpcodes) {
      SCOPED_TRACE(::testing::Message() << "opcode " << opcode << ", index " << index);
      const TextReply reply = plugin.readText(opcode, limit, index);
      EXPECT_EQ(reply.text(), "");
      EXPECT_TRUE(reply.restUntouched());
    }
  }
}

}  // namespace

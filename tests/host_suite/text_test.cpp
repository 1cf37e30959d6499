// Texts the host reads into its own buffers: each opcode writes at most its
// limit, cuts longer texts, terminates them and leaves the rest of the buffer
// as the host had it.

#include <array>
#include <cstdint>

#include "plugin_under_test.h"

namespace {

using HostTextTest = HostedPluginTest;

struct TextCase {
  const char* what;
  std::int32_t opcode;
  std::int32_t index;
  std::size_t limit;
  std::string text;
  std::intptr_t answer;
};

const TextCase kTexts[] = {
    {"effect name", effGetEffectName, 0, kEffectNameLimit,
     cutToLimit(kEffectName, kEffectNameLimit), 1},
    {"product", effGetProductString, 0, kProductStringLimit, kEffectName, 1},
    {"vendor", effGetVendorString, 0, kVendorStringLimit, kVendor, 1},
    {"program name", effGetProgramName, 0, kProgramNameLimit,
     cutToLimit(kEffectName, kProgramNameLimit), 0},
    {"longest parameter name", effGetParamName, 7, kParameterNameLimit,
     "busses silent after mixer", 0},
    {"parameter label", effGetParamLabel, 0, kParameterLabelLimit, "dB", 0},
    {"empty parameter label", effGetParamLabel, 7, kParameterLabelLimit, "", 0},
    {"numeric display", effGetParamDisplay, 0, kParameterDisplayLimit, "0.00", 0},
    {"list display", effGetParamDisplay, 3, kParameterDisplayLimit, "unmute", 0},
    {"long list display", effGetParamDisplay, 7, kParameterDisplayLimit,
     cutToLimit("mute all busses above 1-2", kParameterDisplayLimit), 0},
};

TEST_F(HostTextTest, WritesEachTextWithinItsLimitWithoutPadding) {
  for (const TextCase& expected : kTexts) {
    SCOPED_TRACE(expected.what);
    const TextReply reply = plugin.readText(expected.opcode, expected.limit, expected.index);
    EXPECT_EQ(reply.text(), expected.text);
    EXPECT_TRUE(reply.restUntouched());
    EXPECT_EQ(reply.answer, expected.answer);
  }
}

TEST_F(HostTextTest, CutsTheLongestDisplayAfterAChange) {
  plugin.setParameter(7, 1.0f);

  const TextReply reply = plugin.readText(effGetParamDisplay, kParameterDisplayLimit, 7);
  EXPECT_EQ(reply.text(), cutToLimit("pass through all busses", kParameterDisplayLimit));
  EXPECT_TRUE(reply.restUntouched());
}

TEST_F(HostTextTest, NeverWritesThroughANullBuffer) {
  const std::array<std::int32_t, 7> textOpcodes = {
      effGetProgramName, effGetParamLabel,    effGetParamDisplay, effGetParamName,
      effGetEffectName,  effGetVendorString,  effGetProductString};
  for (std::int32_t opcode : textOpcodes) {
    plugin.dispatch(opcode, 0, 0, nullptr);
  }

  EXPECT_EQ(plugin.readText(effGetVendorString, kVendorStringLimit).text(), kVendor);
  EXPECT_EQ(plugin.readText(effGetParamName, kParameterNameLimit).text(), "level stereo 1");
}

}  // namespace

// Texts the host reads into its own buffers: each opcode writes at most its
// limit, cuts longer texts, terminates them and leaves the rest of the buffer
// as the host had it, whatever values the controls hold and however long a
// program name the host set.

#include <array>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "plugin_under_test.h"
#include "state_chunks.h"

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
     cutToLimit(kIdentity.effectName, kEffectNameLimit), 1},
    {"product", effGetProductString, 0, kProductStringLimit, kIdentity.product, 1},
    {"vendor", effGetVendorString, 0, kVendorStringLimit, kIdentity.vendor, 1},
    {"program name", effGetProgramName, 0, kProgramNameLimit,
     cutToLimit(kIdentity.effectName, kProgramNameLimit), 0},
    {"longest parameter name", effGetParamName, kBusRoutingIndex, kParameterNameLimit,
     kParameters[kBusRoutingIndex].name, 0},
    {"parameter label", effGetParamLabel, kFirstLevelIndex, kParameterLabelLimit,
     kParameters[kFirstLevelIndex].label, 0},
    {"empty parameter label", effGetParamLabel, kBusRoutingIndex, kParameterLabelLimit, "", 0},
    {"numeric display", effGetParamDisplay, kFirstLevelIndex, kParameterDisplayLimit, "0.00", 0},
    {"list display", effGetParamDisplay, kFirstMuteIndex, kParameterDisplayLimit,
     kParameters[kFirstMuteIndex].entries[0], 0},
    {"long list display", effGetParamDisplay, kBusRoutingIndex, kParameterDisplayLimit,
     cutToLimit(kParameters[kBusRoutingIndex].entries[0], kParameterDisplayLimit), 0},
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
  plugin.setParameter(kBusRoutingIndex,
                      static_cast<float>(positionOf(kBusRoutingIndex, kBussesPassed)));

  const TextReply reply =
      plugin.readText(effGetParamDisplay, kParameterDisplayLimit, kBusRoutingIndex);
  EXPECT_EQ(reply.text(),
            cutToLimit(kParameters[kBusRoutingIndex].entries[1], kParameterDisplayLimit));
  EXPECT_TRUE(reply.restUntouched());
}

TEST_F(HostTextTest, NeverWritesThroughANullBuffer) {
  const std::array<std::int32_t, 7> textOpcodes = {
      effGetProgramName, effGetParamLabel,   effGetParamDisplay, effGetParamName,
      effGetEffectName,  effGetVendorString, effGetProductString};
  for (std::int32_t opcode : textOpcodes) {
    plugin.dispatch(opcode, 0, 0, nullptr);
  }

  EXPECT_EQ(plugin.readText(effGetVendorString, kVendorStringLimit).text(), kIdentity.vendor);
  EXPECT_EQ(plugin.readText(effGetParamName, kParameterNameLimit).text(),
            kParameters[kFirstLevelIndex].name);
}

// What each text opcode shows, by a key such as "display of parameter 3".
using ShownTexts = std::map<std::string, std::string>;

std::string parameterTextKey(const char* what, std::int32_t index) {
  return std::string(what) + " of parameter " + std::to_string(index);
}

class TextLimitTest : public HostedPluginTest {
 protected:
  // Every text of the instance and of each parameter. A text that is not
  // terminated within its limit, or that touched a byte after its terminator
  // or the guard behind the buffer, fails the test.
  ShownTexts allTexts() {
    ShownTexts shown;
    for (const TextOpcode& text : kInstanceTexts) shown[text.what] = readWithinLimit(text, 0);
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      for (const TextOpcode& text : kParameterTexts) {
        shown[parameterTextKey(text.what, index)] = readWithinLimit(text, index);
      }
    }
    return shown;
  }

 private:
  std::string readWithinLimit(const TextOpcode& text, std::int32_t index) {
    const TextReply reply = plugin.readText(text.opcode, text.limit, index);
    EXPECT_TRUE(reply.restUntouched()) << text.what << ", index " << index;
    return reply.text().value_or("(not terminated within the limit)");
  }
};

// A value a chunk can carry to every control at once, and how the controls
// show it: numeric controls with two decimals, list controls as the entry the
// value selects once clamped to the list.
struct ExtremeValue {
  const char* what;
  float value;
  const char* numericDisplay;
  bool selectsSecondEntry;
};

constexpr float kLargest = std::numeric_limits<float>::max();
constexpr float kSmallestNormal = std::numeric_limits<float>::min();
constexpr float kSmallestDenormal = std::numeric_limits<float>::denorm_min();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

const ExtremeValue kExtremeValues[] = {
    {"largest float", kLargest, "340282346638528859811704183484516925440.00", true},
    {"lowest float", -kLargest, "-340282346638528859811704183484516925440.00", false},
    {"smallest normal float", kSmallestNormal, "0.00", false},
    {"negative smallest normal float", -kSmallestNormal, "-0.00", false},
    {"smallest denormal", kSmallestDenormal, "0.00", false},
    {"negative smallest denormal", -kSmallestDenormal, "-0.00", false},
    {"NaN", std::numeric_limits<float>::quiet_NaN(), "nan", false},
    {"infinity", kInfinity, "inf", true},
    {"negative infinity", -kInfinity, "-inf", false},
};

std::string displayOf(std::int32_t index, const ExtremeValue& extreme) {
  const ParameterView& parameter = kParameters[index];
  if (!parameter.isList()) return extreme.numericDisplay;
  return parameter.entries[extreme.selectsSecondEntry ? 1 : 0];
}

TEST_F(TextLimitTest, KeepsEveryTextWithinItsLimitAtExtremeRestoredValues) {
  const ShownTexts atDefaults = allTexts();
  for (const ExtremeValue& extreme : kExtremeValues) {
    SCOPED_TRACE(extreme.what);
    loadInto(plugin, savedChunkOf(std::vector<float>(kSavedValueCount, extreme.value)));

    ShownTexts expected = atDefaults;
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
      expected[parameterTextKey("display", index)] =
          cutToLimit(displayOf(index, extreme), kParameterDisplayLimit);
    }
    EXPECT_EQ(allTexts(), expected);
  }
}

// Lowercase letters in turn, so that a cut at the wrong place shows.
std::string lettersOfLength(std::size_t length) {
  std::string letters(length, ' ');
  for (std::size_t i = 0; i < length; ++i) letters[i] = static_cast<char>('a' + i % 26);
  return letters;
}

TEST_F(TextLimitTest, CutsProgramNamesOfAnyLengthAndChangesNoOtherText) {
  const ShownTexts before = allTexts();
  // Around the host's limit, around the plugin's own text capacity of 256
  // bytes, and far beyond both.
  const std::size_t lengths[] = {kProgramNameLimit - 1, kProgramNameLimit, 255, 256, 1000};
  for (std::size_t length : lengths) {
    SCOPED_TRACE(::testing::Message() << "name of " << length << " characters");
    const std::string name = lettersOfLength(length);
    plugin.dispatch(effSetProgramName, 0, 0, const_cast<char*>(name.c_str()));

    ShownTexts expected = before;
    expected["program name"] = cutToLimit(name, kProgramNameLimit);
    EXPECT_EQ(allTexts(), expected);
  }
}

}  // namespace

// Settings files in-process: how a line is read, and a plugin's parameters
// written by params and read back to the same normalised values.
#include "trimhost/settings/settings_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "fake_plugin.h"
#include "trimhost/commands/params_command.h"

namespace {

// "parameter|value|form", "" for a line that sets nothing, or the refusal.
std::string readingOf(const std::string& line) {
  try {
    const std::optional<ParameterAssignment> read = parseSettingsLine(line);
    if (!read) return "";
    return read->parameter + "|" + read->value + "|" +
           (read->form == ValueForm::Normalised ? "normalised" : "shown");
  } catch (const ToolError& error) {
    return "status " + std::to_string(static_cast<int>(error.status)) + ": " + error.what();
  }
}

TEST(SettingsLine, IsReadAsSetReadsItsValueOrAsNormalisedAfterTheMarker) {
  for (const auto& [line, reading] : std::vector<std::pair<const char*, const char*>>{
           {" \t\r", ""},
           {"  # Gain=1", ""},
           {"  send level = -3 dB \r", "send level|-3 dB|shown"},
           {"Mode=a=b", "Mode|a=b|shown"},
           {"Mode=normalised", "Mode|normalised|shown"},
           {"Mode=normalisedX 1", "Mode|normalisedX 1|shown"},
           {"0 = Normalised\t0.25 ", "0|0.25|normalised"},
           {"Gain",
            "status 2: 'Gain': expected NAME_OR_INDEX=VALUE, or "
            "NAME_OR_INDEX=normalised NUMBER"},
           {"Gain=normalised -6 dB",
            "status 2: 'normalised -6 dB' is not a normalised value: "
            "'normalised' takes a number from 0 to 1"}}) {
    EXPECT_EQ(readingOf(line), reading) << line;
  }
}

std::vector<float> normalisedValues(PluginSession& session) {
  std::vector<float> values;
  for (std::int32_t index = 0; index < kFakeParameters; ++index)
    values.push_back(session.plugin().getParameter(index));
  return values;
}

// Gain and Ratio hold values their displays round, Mode one whose cut text
// "mute al" another text cut to "Mute al" matches too, and the two
// "Send le" names can only be given by index.
TEST(CurrentSettings, ReadBackSetEveryParameterToTheSameNormalisedValue) {
  const std::unique_ptr<PluginSession> session = openFakePlugin(FakePrograms::Parameters);
  for (const char* setting : {"Gain=0.123456", "Decay=0.75", "Ratio=0.3", "Mode=0.9", "6=0.5"})
    applyAssignment(*session, parseAssignment(setting, ValueForm::Normalised));
  const std::vector<float> set = normalisedValues(*session);
  const std::string file = currentSettings(*session);
  EXPECT_EQ(normalisedValues(*session), set) << "params must leave the parameters as they were";

  const std::unique_ptr<PluginSession> other = openFakePlugin(FakePrograms::Parameters);
  for (std::int32_t index = 0; index < kFakeParameters; ++index)
    other->plugin().setParameter(index, 0.0f);
  std::istringstream lines(file);
  for (std::string line; std::getline(lines, line);)
    if (const std::optional<ParameterAssignment> read = parseSettingsLine(line))
      applyAssignment(*other, *read);
  EXPECT_EQ(normalisedValues(*other), set) << file;

  for (const char* entry :
       {"# 0 Gain: from -60.0 dB to 12.0 dB, now -51.1 dB; normalised, as the display does not "
        "carry the exact value\nGain=normalised 0.123456001\n",
        "# 1 Decay: from 50.00 ms to 0.00 ms, now 12.50 ms\nDecay=12.50 ms\n",
        // The top of the range, which the display reaches only there.
        "# 5 Send le: from 0.00 to 1.00, now 1.00; by index, as its name does not single it "
        "out\n5=1.00\n"}) {
    EXPECT_NE(file.find(entry), std::string::npos) << entry << "\nin\n" << file;
  }
}

}  // namespace

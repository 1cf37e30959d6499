// trimhost info on our plugin and on a third-party one, as text and as JSON,
// a render through the third-party plugin, and the demo on both.
#include <cmath>
#include <nlohmann/json.hpp>

#include "downmixer_view.h"
#include "test_audio.h"
#include "trimhost_test.h"

namespace {

using InfoTest = TrimhostTest;

TEST_F(InfoTest, TextShowsTheRecordTheTextsAndEveryParameter) {
  const ToolRun result = run({"info", trimixer()});
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string identity[] = {
      "effect name     " + cutToLimit(kIdentity.effectName, kEffectNameLimit) + "\n",
      "vendor          " + std::string(kIdentity.vendor) + "\n",
      "product         " + std::string(kIdentity.product) + "\n",
      "vendor version  " + std::to_string(kIdentity.vendorVersion) + "\n"};
  for (const std::string& line : identity)
    EXPECT_NE(result.out.find(line), std::string::npos) << line << " in\n" << result.out;
  for (const char* line : {"unique id       0\n", "inputs          6\n", "outputs         6\n",
                           "flags           0x1030 CanReplacing ProgramChunks CanDoubleReplacing\n",
                           "programs        1\n", "initial delay   0\n", "parameters      8\n",
                           "  1   level stereo 2              dB      1.000000    0.00\n",
                           "  7   busses silent after mixer           0.000000    mute al\n"}) {
    EXPECT_NE(result.out.find(line), std::string::npos) << line << " in\n" << result.out;
  }
}

TEST_F(InfoTest, JsonCarriesTheSame) {
  const ToolRun result = run({"info", "--json", trimixer()});
  ASSERT_EQ(result.status, 0) << result.err;
  const nlohmann::json info = nlohmann::json::parse(result.out);
  EXPECT_EQ(info["vendor"], kIdentity.vendor);
  EXPECT_EQ(info["vendor_version"], kIdentity.vendorVersion);
  EXPECT_EQ(info["unique_id"], 0);
  EXPECT_EQ(info["inputs"], 6);
  EXPECT_EQ(info["flags"]["value"], 0x1030);
  EXPECT_EQ(info["flags"]["names"],
            nlohmann::json({"CanReplacing", "ProgramChunks", "CanDoubleReplacing"}));
  ASSERT_EQ(info["parameters"].size(), 8u);
  EXPECT_EQ(info["parameters"][6], nlohmann::json({{"index", 6},
                                                   {"name", "master level"},
                                                   {"label", "dB"},
                                                   {"normalised", 0.5},
                                                   {"display", "0.00"}}));
}

TEST_F(InfoTest, AThirdPartyPluginShowsItselfAndRenders) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  const ToolRun info = run({"info", "--json", thirdParty()});
  ASSERT_EQ(info.status, 0) << info.err;
  const nlohmann::json description = nlohmann::json::parse(info.out);
  EXPECT_EQ(description["unique_id_text"], "'D3EQ' (1144210769)");
  EXPECT_EQ(description["inputs"], 2);
  EXPECT_EQ(description["parameters"][3]["name"], "Master");

  writeAudio(path("in.wav"), testSignal(2, 4800));
  const auto peakOf = [this](const std::string& output, const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"render", thirdParty(), path("in.wav"), path(output)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    const Audio out = readAudio(path(output));
    EXPECT_EQ(out.frames(), 4800u);
    float peak = 0.0f;
    for (float sample : out.samples) peak = std::max(peak, std::fabs(sample));
    return peak;
  };
  const float unchanged = peakOf("flat.wav", {});
  EXPECT_GT(unchanged, 0.1f);
  EXPECT_NEAR(peakOf("quieter.wav", {"--set", "Master=-6 dB", "--block", "333"}) / unchanged, 0.5f,
              0.01f);
}

// The downmixer's parameter indices mean nothing to another plugin, which gets
// the setting any plugin takes, processed with its own channel counts.
TEST_F(InfoTest, DemoGivesTheDownmixersOwnSettingOnlyToTheDownmixer) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  const char* const ownSetting =
      "Host sets pair 2 at -6 dB, pair 3 muted, master +3 dB, busses passed through\n";
  const char* const genericSetting =
      "Host sets every parameter a quarter of its range towards its farther end\n";
  const struct {
    std::string plugin;
    std::vector<std::string> shown;
    const char* absent;
  } cases[] = {
      {trimixer(),
       {ownSetting, "  1   level stereo 2              dB     0.964072   -6.00\n",
        "  in  +0.100 +0.200 +0.300 +0.400 +0.500 +0.600  ->  out  +0.354 +0.566 +0.300 +0.400 "
        "+0.500 +0.600\n"},
       genericSetting},
      {thirdParty(),
       {genericSetting, "  0   Low                         dB     0.250000   -12.000000\n",
        "  4   Low-Mid Freq                Hz     0.470000   470.000000\n",
        "  in  +0.100 +0.200  ->  out  +0.006 +0.012\n"},
       ownSetting},
  };
  for (const auto& demo : cases) {
    const ToolRun result = run({"demo", demo.plugin});
    ASSERT_EQ(result.status, 0) << result.err;
    for (const std::string& text : demo.shown)
      EXPECT_NE(result.out.find(text), std::string::npos) << text << " in\n" << result.out;
    EXPECT_EQ(result.out.find(demo.absent), std::string::npos) << demo.absent << " in\n"
                                                               << result.out;
  }
}

}  // namespace

// Every way trimhost refuses: one line on standard error, the documented exit
// status, and no output file, finished or partial, left behind.
#include <fstream>

#include "test_audio.h"
#include "trimhost_test.h"

namespace {

struct Refusal {
  const char* what;
  std::vector<std::string> arguments;  // after "render": plugin, input, output, options
  int status;
  std::string message;
};

class ErrorTest : public TrimhostTest {
 protected:
  void SetUp() override {
    TrimhostTest::SetUp();
    writeAudio(path("in.wav"), testSignal(6, 300));
    Audio rate44 = testSignal(2, 300);
    rate44.sampleRate = 44100;
    writeAudio(path("rate44.wav"), rate44);
    std::ofstream(path("text.wav")) << "not audio at all\n";
    std::ifstream source(path("in.wav"), std::ios::binary);
    std::string rateless(std::istreambuf_iterator<char>(source), {});
    rateless.replace(rateless.find("fmt ") + 12, 4, 4, '\0');
    std::ofstream(path("rate0.wav"), std::ios::binary) << rateless;
  }

  void expectRefused(const Refusal& refusal) {
    SCOPED_TRACE(refusal.what);
    std::vector<std::string> arguments{"render"};
    arguments.insert(arguments.end(), refusal.arguments.begin(), refusal.arguments.end());
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, refusal.status);
    EXPECT_NE(result.err.find(refusal.message), std::string::npos) << result.err;
    EXPECT_EQ(result.err.rfind("trimhost: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_EQ(files(), (std::vector<std::string>{"in.wav", "rate0.wav", "rate44.wav", "text.wav"}));
  }
};

TEST_F(ErrorTest, PluginsThatCannotBeLoadedOrStarted) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  const std::string in = path("in.wav");
  const std::string out = path("out.wav");
  for (const Refusal& refusal : std::vector<Refusal>{
           {"missing file",
            {path("none.so"), in, out},
            3,
            "no such plugin file: " + path("none.so")},
           {"no library", {path("text.wav"), in, out}, 3, "cannot load plugin library"},
           {"no entry point",
            {pathFromEnvironment("BROKEN_PLUGIN_NO_ENTRY"), in, out},
            3,
            "is not a plugin: it exports neither VSTPluginMain nor main"},
           {"entry point main makes nothing",
            {pathFromEnvironment("BROKEN_PLUGIN_REFUSING_MAIN"), in, out},
            3,
            "the plugin refused to start: the plugin made no instance"},
           {"wrong magic",
            {pathFromEnvironment("BROKEN_PLUGIN_WRONG_MAGIC"), in, out},
            3,
            "the plugin refused to start: the plugin's record does not start with the magic "
            "'VstP'"},
           {"no 64-bit processing",
            {thirdParty(), in, out, "--double", "--drop-extra"},
            3,
            "the plugin offers no 64-bit processing (--double)"},
           {"deaf to SIGTERM past --timeout",
            {pathFromEnvironment("BROKEN_PLUGIN_HANGING_IN_PROCESS"), in, out, "--drop-extra",
             "--timeout", "1"},
            7,
            "went past --timeout 1 s and was stopped"}}) {
    expectRefused(refusal);
  }
}

TEST_F(ErrorTest, FilesThatCannotBeReadOrWritten) {
  const std::string out = path("out.wav");
  for (const Refusal& refusal : std::vector<Refusal>{
           {"missing input",
            {trimixer(), path("none.wav"), out},
            1,
            "cannot read audio file " + path("none.wav")},
           {"not audio",
            {trimixer(), path("text.wav"), out},
            1,
            "cannot read audio file " + path("text.wav")},
           {"a folder", {trimixer(), path(""), out}, 1, "it is a folder, not a file"},
           {"a device", {trimixer(), "/dev/zero", out}, 1, "it is a character device, not a file"},
           {"no sample rate",
            {trimixer(), path("rate0.wav"), out},
            1,
            "its header gives no usable sample rate or channel count"},
           {"output folder a file",
            {trimixer(), path("in.wav"), "--output-dir", path("in.wav")},
            1,
            "cannot make the output folder " + path("in.wav") + ": Not a directory"},
           {"no such output directory",
            {trimixer(), path("in.wav"), path("none/out.wav")},
            1,
            "cannot create a file in " + path("none")},
           {"container without the format",
            {trimixer(), path("in.wav"), path("out.flac")},
            1,
            "a .flac file cannot hold the sample format 32 bit float; choose one with --format"},
           {"merged rates differ",
            {trimixer(), path("in.wav"), path("rate44.wav"), out, "--merge"},
            1,
            "cannot merge " + path("rate44.wav") + " at 44100 Hz with " + path("in.wav") +
                " at 48000 Hz"},
           {"too many outputs",
            {trimixer(), path("in.wav"), out, "--outputs", "7"},
            1,
            "--outputs 7: the plugin has only 6"},
           {"preset unwritable after rendering",
            {trimixer(), path("in.wav"), out, "--save-preset", path("none/p.fxp")},
            1,
            "cannot write " + path("none/p.fxp")},
           {"missing preset",
            {trimixer(), path("in.wav"), out, "--preset", path("none.fxp")},
            4,
            "cannot open " + path("none.fxp")}}) {
    expectRefused(refusal);
  }
}

TEST_F(ErrorTest, SettingsThatNameNothingOrCannotBeReached) {
  const std::vector<std::string> files{trimixer(), path("in.wav"), path("out.wav")};
  const auto with = [&files](std::vector<std::string> options) {
    options.insert(options.begin(), files.begin(), files.end());
    return options;
  };
  for (const Refusal& refusal : std::vector<Refusal>{
           {"unknown name", with({"--set", "volume=0.5"}), 5,
            "no parameter named 'volume'; the plugin has 'level stereo 1', 'level stereo 2'"},
           {"unknown index", with({"--set", "8=0.5"}), 5,
            "no parameter 8: the plugin has 8 parameters"},
           {"beyond the range", with({"--set", "level stereo 1=-200"}), 5,
            "'level stereo 1' cannot be set to '-200': the nearest it shows is -167.00 (its "
            "display runs "
            "from -167.00 to 0.00)"},
           {"between the steps", with({"--set", "master level=1.05dB"}), 5,
            "'master level' cannot be set to '1.05dB': the nearest it shows are 1.00 and 1.10"},
           {"no such list entry", with({"--set", "mute stereo 1=muted"}), 5,
            "'mute stereo 1' cannot be set to 'muted': it shows 'unmute', 'mute'"},
           {"plain number for a list", with({"--set", "mute stereo 1=1"}), 5,
            "'mute stereo 1' cannot be set to '1': it shows 'unmute', 'mute'; a normalised value "
            "needs --set-normalised"},
           {"no equals sign", with({"--set", "master level"}), 2, "expected NAME_OR_INDEX=VALUE"},
           {"normalised beyond 1", with({"--set-normalised", "master level=1.5"}), 2,
            "--set-normalised master level=1.5: '1.5' is not a normalised value, a number from 0 "
            "to 1"},
           {"normalised NaN", with({"--set-normalised", "master level=nan"}), 2,
            "--set-normalised master level=nan: 'nan' is not a normalised value"},
           {"normalised with a unit", with({"--set-normalised", "master level=-6dB"}), 2,
            "--set-normalised master level=-6dB: '-6dB' is not a normalised value"},
           {"bad time signature", with({"--time-signature", "3-4"}), 2,
            "expected N/D, such as 3/4"},
           {"unknown format", with({"--format", "pcm8"}), 2,
            "--format pcm8: not a sample format; choose one of pcm16, pcm24, pcm32, float32"},
           {"map beyond the channels", with({"--map", "1,7"}), 2,
            "--map names channel 7, but the inputs have 6 channels"},
           {"map beyond the inputs", with({"--map", "1,2,3,4,5,6,1"}), 2,
            "--map lists 7 channels, the plugin takes 6 inputs"},
           {"standard input merged twice",
            {trimixer(), "-", "-", path("out.wav"), "--merge"},
            2,
            "standard input (-) can be read only once"},
           {"groups that do not divide",
            {trimixer(), path("in.wav"), path("in.wav"), path("in.wav"), "--merge", "--group", "2",
             "--output-dir", path("out")},
            2,
            "--group 2: 3 inputs do not make whole groups of 2"},
           {"missing argument",
            {trimixer(), path("in.wav")},
            2,
            "render takes PLUGIN INPUT OUTPUT, PLUGIN INPUT... OUTPUT --merge, or PLUGIN "
            "INPUT... --output-dir DIR"}}) {
    expectRefused(refusal);
  }
}

}  // namespace

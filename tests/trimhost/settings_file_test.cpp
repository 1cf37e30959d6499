// trimhost params and --set-file: a plugin's parameters written as a
// settings file and read back to the same state, the order in which the
// settings apply, and files refused naming their line.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "trimhost_test.h"

namespace {

std::vector<std::string> joined(std::vector<std::string> first,
                                const std::vector<std::string>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

class SettingsFileTest : public TrimhostTest {
 protected:
  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(path(name), std::ios::binary) << text;
    return path(name);
  }

  std::string savedPreset(const std::string& plugin, const std::vector<std::string>& settings) {
    const ToolRun saved = run(joined({"preset", "save", plugin, "-"}, settings));
    EXPECT_EQ(saved.status, 0) << saved.err;
    return saved.out;
  }

  // The program file saved after the settings is the one saved after the
  // file params writes for them, byte for byte: the same normalised values.
  void expectRoundTrip(const std::string& plugin, const std::vector<std::string>& settings,
                       const std::string& line) {
    const ToolRun listed = run(joined({"params", plugin}, settings));
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find(line), std::string::npos) << listed.out;
    const std::string file = write("listed.txt", listed.out);
    EXPECT_EQ(savedPreset(plugin, {"--set-file", file}), savedPreset(plugin, settings));
    EXPECT_NE(savedPreset(plugin, {}), savedPreset(plugin, settings));
    EXPECT_EQ(run({"params", plugin, "--set-file", file}).out, listed.out);
  }
};

TEST_F(SettingsFileTest, ParametersComeBackFromTheFileParamsWrites) {
  expectRoundTrip(trimixer(),
                  {"--set", "level stereo 1=-6", "--set-normalised", "level stereo 2=0.123456",
                   "--set", "mute stereo 2=mute", "--set", "busses silent after mixer=pass th"},
                  "\n# 0 level stereo 1: from -167.00 dB to 0.00 dB, now -6.00 dB\n"
                  "level stereo 1=-6.00 dB\n");

  // A chunk can restore a value outside its parameter's range, which no line
  // sets: params writes the nearest end, and the file reads back to that.
  std::string loud = savedPreset(trimixer(), {"--set", "master level=9"});
  loud.replace(loud.find(std::string("\0\0\x10\x41", 4)), 4, std::string("\0\0\xC8\x42", 4));
  write("loud.fxp", loud);  // the master level at +100 dB
  const ToolRun listed = run({"params", trimixer(), "--preset", path("loud.fxp")});
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::string outside =
      "6 master level = 100.00 dB (normalised 6.05555534), outside its range";
  EXPECT_NE(listed.err.find("warning: after " + path("loud.fxp") + ", " + outside),
            std::string::npos)
      << listed.err;
  EXPECT_NE(listed.out.find(outside + "; set to the nearest end of its range\n"),
            std::string::npos);
  expectRoundTrip(trimixer(), {"--set-file", write("loud.txt", listed.out)},
                  "\nmaster level=9.00 dB\n");
  EXPECT_EQ(savedPreset(trimixer(), {"--set-file", path("loud.txt")}),
            savedPreset(trimixer(), {"--preset", path("loud.fxp"), "--set", "master level=9"}));

  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  expectRoundTrip(thirdParty(),
                  {"--set", "Low=-24", "--set-normalised", "Mid=0.123456789", "--set-normalised",
                   "Low-Mid Freq=0.3"},
                  "\nMid=-18.074074 dB\n");
}

// The preset first, the files in their order next, the --set options last,
// wherever they stand on the command line.
TEST_F(SettingsFileTest, FilesApplyAfterThePresetAndBeforeTheSetOptions) {
  write("p.fxp",
        savedPreset(trimixer(), {"--set", "level stereo 2=-40", "--set", "level stereo 3=-9"}));
  const std::string first = write("first.txt",
                                  "# levels\n\n  level stereo 1 = -6 dB \r\n"
                                  "\tlevel stereo 2=-12\n   # the master at its middle\n"
                                  "master level=normalised 0.5\n");
  const std::string second = write("second.txt", "\xEF\xBB\xBFlevel stereo 2=-20\n");
  const ToolRun listed = run({"params", trimixer(), "--set", "level stereo 1=-3", "--set-file",
                              first, "--set-file", second, "--preset", path("p.fxp")});
  ASSERT_EQ(listed.status, 0) << listed.err;
  for (const char* line : {"\nlevel stereo 1=-3.00 dB\n", "\nlevel stereo 2=-20.00 dB\n",
                           "\nlevel stereo 3=-9.00 dB\n", "\nmaster level=0.00 dB\n"}) {
    EXPECT_NE(listed.out.find(line), std::string::npos) << line << "\nin\n" << listed.out;
  }
}

TEST_F(SettingsFileTest, ARefusedLineIsNamedByFileAndLine) {
  for (const auto& [text, status, message] : std::vector<std::tuple<const char*, int, const char*>>{
           {"master level=3\n\nbogus\n", 2, ":3: 'bogus': expected NAME_OR_INDEX=VALUE"},
           {"# a\nmaster level=normalised 1.5\n", 2,
            ":2: 'normalised 1.5' is not a normalised value"},
           {"# a\n# b\nlevel stereo 9=1\n", 5, ":3: no parameter named 'level stereo 9'; "},
           {"master level=99\n", 5, ":1: 'master level' cannot be set to '99': the nearest"}}) {
    const std::string file = write("settings.txt", text);
    const ToolRun refused = run({"params", trimixer(), "--set-file", file});
    EXPECT_EQ(refused.status, status) << text;
    EXPECT_NE(refused.err.find("trimhost: " + file + message), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_EQ(run({"params", trimixer(), "--set-file", path("missing.txt")}).status, 1);
  const ToolRun overwriting =
      run({"preset", "save", trimixer(), path("settings.txt"), "--set-file", path("settings.txt")});
  EXPECT_EQ(overwriting.status, 2);
  EXPECT_NE(overwriting.err.find("is the same file as --set-file"), std::string::npos);

  const ToolRun empty = run({"params", trimixer(), "--set-file", write("empty.txt", "")});
  EXPECT_EQ(empty.status, 0);
  EXPECT_NE(empty.err.find("warning: the settings file " + path("empty.txt") + " sets nothing"),
            std::string::npos)
      << empty.err;
  // The shell empties the file it sends standard output to before the tool
  // starts: refused, rather than read as a file that sets nothing.
  const std::string file = write("m.txt", "level stereo 1=-6\n");
  const std::string command = "'" + pathFromEnvironment("TRIMHOST") + "' params '" + trimixer() +
                              "' --set-file '" + file + "' >'" + file + "' 2>'" + path("err") + "'";
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 2);
  std::stringstream err;
  err << std::ifstream(path("err")).rdbuf();
  EXPECT_NE(err.str().find("standard output goes to the settings file " + file +
                           ", which the shell emptied"),
            std::string::npos)
      << err.str();
}

}  // namespace

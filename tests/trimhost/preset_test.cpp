// Program files and banks through trimhost: saved after the settings, loaded
// before them, shown, and refused when corrupt or made for another plugin.
#include <filesystem>
#include <fstream>
#include <tuple>

#include "aeffect.h"
#include "downmixer_view.h"
#include "plugin_host/preset_file.h"
#include "test_audio.h"
#include "trimhost_test.h"

namespace {

class PresetTest : public TrimhostTest {
 protected:
  void SetUp() override {
    TrimhostTest::SetUp();
    writeAudio(path("in.wav"), testSignal(6, 500));
  }

  // Renders in.wav with the options into the named file, replacing it, and
  // reads it back.
  std::vector<float> render(const std::string& plugin, const std::string& output,
                            const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"render", plugin, path("in.wav"), path(output), "-y"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    return readAudio(path(output)).samples;
  }

  std::string write(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::ofstream(path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path(name);
  }
};

// A program of the downmixer's eight parameters as normalised values.
PresetFile parameterProgram(const std::string& name, std::vector<float> values) {
  PresetFile program;
  program.kind = PresetFile::Kind::Parameters;
  program.parameterCount = 8;
  program.programName = name;
  program.parameters = std::move(values);
  return program;
}

const std::vector<float> kDefaults{1, 1, 1, 0, 0, 0, 0.5f, 0};

// The chunk holds 32-bit floats, so levels that a float holds exactly come
// back exactly; -12.3 dB would come back as -12.3000002 dB.
TEST_F(PresetTest, ASavedPresetRendersLikeItsSettings) {
  const std::vector<float> set = render(trimixer(), "set.wav",
                                        {"--set", "level stereo 1=-6", "--set",
                                         "mute stereo 2=mute", "--save-preset", path("p.fxp")});
  const std::vector<float> loaded = render(trimixer(), "loaded.wav", {"--preset", path("p.fxp")});
  EXPECT_EQ(loaded, set);
  EXPECT_NE(render(trimixer(), "defaults.wav", {}), set);
  // --set-normalised comes after the preset and overrides it.
  EXPECT_EQ(
      render(trimixer(), "overridden.wav",
             {"--preset", path("p.fxp"), "--set-normalised", "0=1", "--set-normalised", "4=0"}),
      render(trimixer(), "defaults.wav", {}));
}

TEST_F(PresetTest, ShowPrintsTheHeaderAndTheChunk) {
  ASSERT_EQ(
      run({"preset", "save", trimixer(), path("p.fxp"), "--set", "level stereo 1=-12.3"}).status,
      0);
  const ToolRun shown = run({"preset", "show", path("p.fxp")});
  ASSERT_EQ(shown.status, 0) << shown.err;
  const std::string programName =
      "program name    " + cutToLimit(kIdentity.effectName, kProgramNameLimit) + "\n";
  EXPECT_NE(shown.out.find(programName), std::string::npos) << shown.out;
  for (const char* line :
       {"kind            FPCh (chunk)\n", "format version  1\n", "plugin id       0\n",
        "plugin version  1\n", "parameters      8\n", "chunk           260 bytes, first:\n",
        "  0000  00 00 7a c4", "  0    -1000\n", "  1    -12.3000002\n", "  64   0\n"}) {
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << " in\n" << shown.out;
  }
}

// The name is saved as the plugin keeps it, so a host loading the file shows
// what the file says.
TEST_F(PresetTest, SaveNamesTheProgramAsThePluginKeepsIt) {
  const std::string name = "Stems to stereo at -6 dB, busses passed through";
  for (const std::string& given : {std::string("Pair 1 only"), name}) {
    SCOPED_TRACE(given);
    ASSERT_EQ(
        run({"preset", "save", trimixer(), path("p.fxp"), "-y", "--program-name", given}).status,
        0);
    EXPECT_EQ(readPresetFile(path("p.fxp")).programName, cutToLimit(given, kProgramNameLimit));
  }
  EXPECT_EQ(readPresetFile(path("p.fxp")).programName, "Stems to stereo at -6 d");
}

TEST_F(PresetTest, APluginWithoutChunksSavesParameterValues) {
  SKIP_WITHOUT_THIRD_PARTY_PLUGIN();
  ASSERT_EQ(run({"preset", "save", thirdParty(), path("p.fxp"), "--set", "Low=-24"}).status, 0);
  const ToolRun shown = run({"preset", "show", path("p.fxp")});
  EXPECT_NE(shown.out.find("kind            FxCk (parameter values)\n"), std::string::npos)
      << shown.out;
  EXPECT_NE(shown.out.find("  0    0.000000\n  1    0.500000\n"), std::string::npos) << shown.out;
  // Loaded and saved again, the values come back as they were.
  ASSERT_EQ(
      run({"preset", "save", thirdParty(), path("again.fxp"), "--preset", path("p.fxp")}).status,
      0);
  std::ifstream saved(path("p.fxp"), std::ios::binary);
  std::ifstream again(path("again.fxp"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}),
            std::string(std::istreambuf_iterator<char>(saved), {}));
}

TEST_F(PresetTest, APresetForAnotherPluginNeedsForce) {
  PresetFile other;
  other.pluginId = fourCharConstant('O', 't', 'h', '1');
  other.parameterCount = 8;
  other.chunk = {0x00, 0x00, 0x7a, 0xc4,
                 0x00, 0x00, 0x40, 0xc1};  // the marker, then -12 dB for pair 1
  const std::vector<unsigned char> bytes = encodePreset(other);
  std::ofstream(path("other.fxp"), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const ToolRun refused =
      run({"render", trimixer(), path("in.wav"), path("out.wav"), "--preset", path("other.fxp")});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(
      refused.err.find("is for plugin id 'Oth1' (1333028913), not 0 (--force loads it anyway)"),
      std::string::npos)
      << refused.err;
  EXPECT_EQ(files(), (std::vector<std::string>{"in.wav", "other.fxp"}));
  EXPECT_EQ(render(trimixer(), "forced.wav", {"--preset", path("other.fxp"), "--force"}),
            render(trimixer(), "set.wav", {"--set", "level stereo 1=-12"}));
}

TEST_F(PresetTest, ACorruptPresetIsRefused) {
  std::ofstream(path("bad.fxp")) << "CcnK and then nothing a program file holds";
  PresetFile program;
  program.chunk = {1, 2, 3, 4};
  std::vector<unsigned char> pastEnd = encodePreset(program);
  pastEnd[59] += 16;  // the chunk's byte size, whose lowest byte ends the header
  write("past_end.fxp", pastEnd);
  for (const std::string& file : {path("bad.fxp"), path("past_end.fxp")}) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"preset", "show", file},
          {"render", trimixer(), path("in.wav"), path("out.wav"), "--preset", file}}) {
      const ToolRun result = run(arguments);
      EXPECT_EQ(result.status, 4);
      EXPECT_EQ(result.err.rfind("trimhost: corrupt preset " + file + ": ", 0), 0u) << result.err;
    }
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"bad.fxp", "in.wav", "past_end.fxp"}));

  // Well-formed files whose chunk the plugin does not take: without its
  // marker, or all 0xFF. Its state stays as it was, which is no success.
  ASSERT_EQ(run({"preset", "save", trimixer(), path("p.fxp"), "--set", "level stereo 1=-6"}).status,
            0);
  std::ifstream source(path("p.fxp"), std::ios::binary);
  const std::string saved(std::istreambuf_iterator<char>(source), {});
  constexpr std::size_t kChunkStart = 60;
  for (const std::string& chunk : {std::string(4, '\0') + saved.substr(kChunkStart + 4),
                                   std::string(saved.size() - kChunkStart, '\xFF')}) {
    std::ofstream(path("untaken.fxp"), std::ios::binary) << saved.substr(0, kChunkStart) + chunk;
    const ToolRun result = run({"params", trimixer(), "--preset", path("untaken.fxp")});
    EXPECT_EQ(result.status, 4);
    EXPECT_NE(result.err.find("the plugin did not take the program in " + path("untaken.fxp")),
              std::string::npos)
        << result.err;
  }
}

TEST_F(PresetTest, AnUnreadablePresetNamesTheSystemsReason) {
  std::filesystem::create_directory(path("folder.fxp"));
  std::ofstream(path("plain"));
  const struct {
    std::string file;
    std::string message;
  } cases[] = {
      {path("folder.fxp"), "cannot read " + path("folder.fxp") + ": Is a directory"},
      {path("missing.fxp"), "cannot open " + path("missing.fxp") + ": No such file or directory"},
      {path("plain/inside.fxp"), "cannot open " + path("plain/inside.fxp") + ": Not a directory"}};
  for (const auto& unreadable : cases) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"preset", "show", unreadable.file},
          {"render", trimixer(), path("in.wav"), path("out.wav"), "--preset", unreadable.file}}) {
      const ToolRun result = run(arguments);
      EXPECT_EQ(result.status, 4) << unreadable.file;
      EXPECT_EQ(result.err, "trimhost: " + unreadable.message + "\n");
      EXPECT_EQ(result.out, "");
    }
  }
  EXPECT_EQ(files(), (std::vector<std::string>{"folder.fxp", "in.wav", "plain"}));
}

// A host sends no normalised value outside 0 to 1: one in a program of
// parameter values is loaded as the nearest inside, with a warning, and
// marked where the program is shown.
TEST_F(PresetTest, AValueOutsideTheRangeIsLoadedAsTheNearestInside) {
  std::vector<float> loud = kDefaults;
  loud[6] = 6.0f;  // master level
  write("loud.fxp", encodePreset(parameterProgram("loud", loud)));
  const std::vector<std::string> options{"--preset", path("loud.fxp")};
  std::vector<std::string> arguments{"render", trimixer(), path("in.wav"), path("out.wav")};
  arguments.insert(arguments.end(), options.begin(), options.end());
  const ToolRun loaded = run(arguments);
  ASSERT_EQ(loaded.status, 0) << loaded.err;
  EXPECT_NE(loaded.err.find("trimhost: warning: " + path("loud.fxp") +
                            " sets 6 master level to normalised 6, outside 0 to 1; loaded as 1\n"),
            std::string::npos)
      << loaded.err;
  EXPECT_EQ(readAudio(path("out.wav")).samples,
            render(trimixer(), "top.wav", {"--set", "master level=9"}));
  // A batch's renders warn alike: once is enough.
  const ToolRun batch = run({"render", trimixer(), path("in.wav"), path("top.wav"), "--output-dir",
                             path("batch"), "--preset", path("loud.fxp")});
  ASSERT_EQ(batch.status, 0) << batch.err;
  const std::size_t warning = batch.err.find("warning: " + path("loud.fxp") + " sets 6");
  EXPECT_NE(warning, std::string::npos) << batch.err;
  EXPECT_EQ(batch.err.find("warning: ", warning + 1), std::string::npos) << batch.err;
  const ToolRun shown = run({"preset", "show", path("loud.fxp")});
  EXPECT_NE(shown.out.find("  5    0.000000\n  6    6.000000  outside 0 to 1\n"), std::string::npos)
      << shown.out;
}

// Programs are numbered from 0, as parameters are; without --program a bank
// gives its current program.
TEST_F(PresetTest, ABankGivesTheProgramChosen) {
  std::vector<float> quiet = kDefaults;
  quiet[0] = 0.5f;
  PresetBank bank;
  bank.kind = PresetBank::Kind::Programs;
  bank.programs = {parameterProgram("first", kDefaults), parameterProgram("second", quiet)};
  bank.currentProgram = 1;
  write("params.fxb", encodeBank(bank));
  write("second.fxp", encodePreset(bank.programs[1]));
  ASSERT_EQ(run({"preset", "save", trimixer(), path("p.fxp"), "--set", "level stereo 1=-6"}).status,
            0);
  const PresetFile saved = readPresetFile(path("p.fxp"));
  PresetBank chunkBank;
  chunkBank.programCount = 1;
  chunkBank.chunk = saved.chunk;
  write("chunk.fxb", encodeBank(chunkBank));

  const auto loaded = [&](const std::string& file, std::vector<std::string> program) {
    program.insert(program.begin(), {"--preset", path(file)});
    return render(trimixer(), "out.wav", program);
  };
  EXPECT_EQ(loaded("params.fxb", {}), loaded("second.fxp", {}));
  EXPECT_EQ(loaded("params.fxb", {"--program", "0"}), render(trimixer(), "defaults.wav", {}));
  EXPECT_EQ(loaded("chunk.fxb", {"--program", "0"}), loaded("p.fxp", {}));
  const ToolRun told = run({"params", trimixer(), "--preset", path("params.fxb")});
  EXPECT_NE(told.err.find("preset: " + path("params.fxb") +
                          ", program 1 'second' of 2, the bank's current one\n"),
            std::string::npos)
      << told.err;
  const ToolRun shown = run({"preset", "show", path("params.fxb")});
  EXPECT_NE(shown.out.find("programs        2\ncurrent program 1\n\nprogram 0\n"),
            std::string::npos)
      << shown.out;
  EXPECT_NE(shown.out.find("\nprogram 1\nkind            FxCk (parameter values)\n"),
            std::string::npos)
      << shown.out;

  std::vector<unsigned char> cut = encodeBank(bank);
  cut.resize(cut.size() - 4);
  cut[7] -= 4;  // the header's byte size agrees: the last program is short
  write("cut.fxb", cut);
  bank.pluginId = fourCharConstant('O', 't', 'h', '1');
  write("other.fxb", encodeBank(bank));
  for (const auto& [file, program, message] :
       std::vector<std::tuple<std::string, std::string, std::string>>{
           {"params.fxb", "2",
            "the bank " + path("params.fxb") +
                " holds 2 programs, numbered from 0: it has no program 2"},
           {"chunk.fxb", "1", "holds 1 program, numbered from 0: it has no program 1"},
           {"p.fxp", "0",
            "--program chooses a program of a bank, but " + path("p.fxp") +
                " holds a single program"},
           {"cut.fxb", "0",
            "corrupt preset " + path("cut.fxb") + ": the file ends inside its program 1"},
           {"other.fxb", "0", "is for plugin id 'Oth1' (1333028913), not 0 (--force"}}) {
    const ToolRun refused =
        run({"params", trimixer(), "--preset", path(file), "--program", program});
    EXPECT_EQ(refused.status, 4) << file;
    EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
  }
}

}  // namespace

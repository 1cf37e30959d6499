// Program files between a plugin in this process and the disk: what is
// saved loads back, and presets for another plugin or corrupt files are
// refused before anything reaches the plugin.
#include "trimhost/settings/preset_commands.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "expect_tool_error.h"
#include "fake_plugin.h"

namespace {

using Bytes = std::vector<unsigned char>;

const std::vector<float> kSavedValues{0.1f, 0.2f, 0.3f, 0.7f, 0.8f, 0.05f, 0.95f};

void setValues(PluginSession& session, const std::vector<float>& values) {
  for (std::size_t index = 0; index < values.size(); ++index)
    session.plugin().setParameter(static_cast<std::int32_t>(index), values[index]);
}

std::vector<float> valuesOf(PluginSession& session) {
  std::vector<float> values;
  for (std::int32_t index = 0; index < kFakeParameters; ++index)
    values.push_back(session.plugin().getParameter(index));
  return values;
}

void nameProgram(PluginSession& session, std::string name) {
  session.plugin().dispatch(effSetProgramName, 0, 0, name.data());
}

class PresetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "trimhost_unit_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(scratch_); }

  std::string file(const std::string& name) const { return (scratch_ / name).string(); }

  std::string write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(file(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file(name);
  }

  // What a parameter plugin saves after kSavedValues and the name "Saved".
  static PresetFile savedPreset() {
    const auto source = openFakePlugin(FakePrograms::Parameters);
    setValues(*source, kSavedValues);
    nameProgram(*source, "Saved");
    return capturePreset(*source);
  }

 private:
  std::filesystem::path scratch_;
};

TEST_F(PresetTest, WhatIsSavedLoadsBackIntoAFreshInstance) {
  for (const FakePrograms programs : {FakePrograms::Parameters, FakePrograms::Chunks}) {
    const bool chunks = programs == FakePrograms::Chunks;
    SCOPED_TRACE(chunks ? "chunks" : "parameter values");
    const auto source = openFakePlugin(programs);
    setValues(*source, kSavedValues);
    nameProgram(*source, "Round trip");
    {
      OutputFile output(file("saved.fxp"), ExistingOutput::Replace);
      savePreset(*source, output);
    }
    const PresetFile saved = readPresetFile(file("saved.fxp"));
    EXPECT_EQ(saved.kind, chunks ? PresetFile::Kind::Chunk : PresetFile::Kind::Parameters);
    EXPECT_EQ(saved.pluginId, kFakePluginId);
    EXPECT_EQ(saved.parameterCount, kFakeParameters);
    EXPECT_EQ(saved.programName, "Round trip");

    const auto target = openFakePlugin(programs);
    loadPreset(*target, file("saved.fxp"), false);
    EXPECT_EQ(valuesOf(*target), kSavedValues);
    EXPECT_EQ(target->text(effGetProgramName), "Round trip");
    EXPECT_EQ(chunksLoaded(*target), chunks ? 1 : 0);
  }
}

struct MismatchCase {
  const char* what;
  void (*change)(PresetFile& preset);
  const char* message;
  bool takenWhenForced = true;  // else reported as not taken
};

TEST_F(PresetTest, APresetForAnotherPluginIsRefusedUnlessForced) {
  for (const MismatchCase& c : std::vector<MismatchCase>{
           {"another id",
            [](PresetFile& preset) { preset.pluginId = fourCharConstant('O', 't', 'h', 'r'); },
            "is for plugin id 'Othr' (1333028978), not 'Fake' (1180789605) (--force loads it "
            "anyway)"},
           {"fewer parameters", [](PresetFile& preset) { preset.parameters.resize(3); },
            "holds 3 parameter values, but the plugin has 7 (--force"},
           {"more parameters", [](PresetFile& preset) { preset.parameters.resize(9, 0.5f); },
            "holds 9 parameter values, but the plugin has 7 (--force"},
           {"a chunk",
            [](PresetFile& preset) {
              preset.kind = PresetFile::Kind::Chunk;
              preset.chunk = {1, 2, 3};
            },
            "holds a chunk, but the plugin's programs are no chunks (--force", false}}) {
    SCOPED_TRACE(c.what);
    PresetFile preset = savedPreset();
    c.change(preset);
    const std::string path = write("other.fxp", encodePreset(preset));
    const auto target = openFakePlugin(FakePrograms::Parameters);
    const std::vector<float> before = valuesOf(*target);
    expectToolError([&] { loadPreset(*target, path, false); }, ExitStatus::Preset,
                    "preset " + path + " " + c.message);
    EXPECT_EQ(valuesOf(*target), before);
    EXPECT_EQ(target->text(effGetProgramName), "Init");

    if (!c.takenWhenForced) {
      expectToolError([&] { loadPreset(*target, path, true); }, ExitStatus::Preset,
                      "the plugin did not take the program in " + path);
      continue;
    }
    loadPreset(*target, path, true);
    EXPECT_EQ(target->text(effGetProgramName), "Saved");
  }
}

struct CorruptCase {
  const char* what;
  void (*damage)(Bytes& bytes);
  const char* message;
};

TEST_F(PresetTest, ACorruptFileIsRefusedSayingWhatIsWrong) {
  for (const CorruptCase& c : std::vector<CorruptCase>{
           {"empty", [](Bytes& bytes) { bytes.clear(); }, "the file ends inside its header"},
           {"another format", [](Bytes& bytes) { bytes[0] = 'R'; },
            "not a program file (no 'CcnK')"},
           {"cut short", [](Bytes& bytes) { bytes.resize(bytes.size() - 4); },
            "the byte size in the header does not match the file"},
           {"neither kind", [](Bytes& bytes) { std::fill_n(bytes.begin() + 8, 4, 'X'); },
            "not a program of parameters or chunk ('XXXX')"}}) {
    SCOPED_TRACE(c.what);
    Bytes bytes = encodePreset(savedPreset());
    c.damage(bytes);
    const std::string path = write("corrupt.fxp", bytes);
    const auto target = openFakePlugin(FakePrograms::Parameters);
    expectToolError([&] { loadPreset(*target, path, false); }, ExitStatus::Preset,
                    "corrupt preset " + path + ": " + c.message);
  }
}

TEST_F(PresetTest, AMissingFileIsAPresetFailure) {
  const auto target = openFakePlugin(FakePrograms::Parameters);
  expectToolError([&] { loadPreset(*target, file("missing.fxp"), true); }, ExitStatus::Preset,
                  "cannot open " + file("missing.fxp") + ": No such file or directory");
}

}  // namespace

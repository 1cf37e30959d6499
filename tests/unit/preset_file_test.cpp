#include "plugin_host/preset_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bigEndian(std::initializer_list<std::uint32_t> words) {
  Bytes bytes;
  for (std::uint32_t word : words)
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<unsigned char>(word >> shift));
  return bytes;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes programNameField(const std::string& name) {
  Bytes field(28, 0);
  std::copy(name.begin(), name.end(), field.begin());
  return field;
}

PresetFile chunkPreset() {
  PresetFile preset;
  preset.kind = PresetFile::Kind::Chunk;
  preset.pluginId = 0x4B747278;
  preset.pluginVersion = 1;
  preset.parameterCount = 8;
  preset.programName = "my mix";
  preset.chunk = {0x00, 0x00, 0x7A, 0xC4, 1, 2, 3, 4};
  return preset;
}

TEST(PresetFile, EncodesAChunkProgramInBigEndian) {
  const Bytes expected = text("CcnK") + bigEndian({4 * 5 + 28 + 4 + 8}) + text("FPCh") +
                         bigEndian({1, 0x4B747278, 1, 8}) + programNameField("my mix") +
                         bigEndian({8}) + Bytes{0x00, 0x00, 0x7A, 0xC4, 1, 2, 3, 4};
  EXPECT_EQ(encodePreset(chunkPreset()), expected);
}

TEST(PresetFile, EncodesParametersAsBigEndianFloats) {
  PresetFile preset;
  preset.kind = PresetFile::Kind::Parameters;
  preset.parameters = {1.0f, 0.5f};
  preset.programName = std::string(40, 'x');  // cut to 27 characters and a zero
  const Bytes expected = text("CcnK") + bigEndian({4 * 5 + 28 + 8}) + text("FxCk") +
                         bigEndian({1, 0, 0, 2}) + programNameField(std::string(27, 'x')) +
                         bigEndian({0x3F800000, 0x3F000000});
  EXPECT_EQ(encodePreset(preset), expected);
}

TEST(PresetFile, DecodesWhatItEncodes) {
  const PresetFile decoded = decodePreset(encodePreset(chunkPreset()));
  EXPECT_EQ(decoded.kind, PresetFile::Kind::Chunk);
  EXPECT_EQ(decoded.pluginId, 0x4B747278);
  EXPECT_EQ(decoded.pluginVersion, 1);
  EXPECT_EQ(decoded.parameterCount, 8);
  EXPECT_EQ(decoded.programName, "my mix");
  EXPECT_EQ(decoded.chunk, chunkPreset().chunk);

  PresetFile parameters;
  parameters.kind = PresetFile::Kind::Parameters;
  parameters.parameters = {0.25f, -1.0f, 3.5f};
  const PresetFile back = decodePreset(encodePreset(parameters));
  EXPECT_EQ(back.parameters, parameters.parameters);
  EXPECT_EQ(back.parameterCount, 3);
}

TEST(PresetFile, EncodesABankChunkAndDecodesIt) {
  PresetBank bank;
  bank.pluginId = 0x4B747278;
  bank.pluginVersion = 1;
  bank.programCount = 3;
  bank.currentProgram = 2;
  bank.chunk = {1, 2, 3};
  const Bytes expected = text("CcnK") + bigEndian({4 * 5 + 128 + 4 + 3}) + text("FBCh") +
                         bigEndian({2, 0x4B747278, 1, 3, 2}) + Bytes(124, 0) + bigEndian({3}) +
                         Bytes{1, 2, 3};
  EXPECT_EQ(encodeBank(bank), expected);
  const ProgramFile decoded = decodeProgramFile(expected);
  ASSERT_TRUE(std::holds_alternative<PresetBank>(decoded));
  EXPECT_EQ(std::get<PresetBank>(decoded).currentProgram, 2);
  EXPECT_EQ(std::get<PresetBank>(decoded).chunk, bank.chunk);
}

TEST(PresetFile, RefusesDamagedFiles) {
  const Bytes good = encodePreset(chunkPreset());
  Bytes wrongMagic = good;
  wrongMagic[0] = 'X';
  Bytes wrongKind = good;
  wrongKind[8] = 'X';
  Bytes wrongSize = good;
  wrongSize[7] += 1;
  Bytes wrongChunkSize = good;
  wrongChunkSize[59] += 1;  // the chunk size's lowest byte
  Bytes chunkPastEnd = good;
  chunkPastEnd[56] = 0x7F;  // the chunk size's highest byte: far past the end
  const Bytes cut(good.begin(), good.begin() + 30);
  PresetFile parameters;
  parameters.kind = PresetFile::Kind::Parameters;
  parameters.parameters = {0.5f, 0.5f};
  Bytes wrongCount = encodePreset(parameters);
  wrongCount[27] = 3;  // the parameter count's lowest byte
  for (const Bytes& damaged :
       {wrongMagic, wrongKind, wrongSize, wrongChunkSize, chunkPastEnd, cut, wrongCount, Bytes{}}) {
    EXPECT_THROW(decodePreset(damaged), PresetFormatError);
    EXPECT_THROW(decodeProgramFile(damaged), PresetFormatError);
  }
}

// Writing goes through trimhost's output files, tested where the tool runs.
TEST(PresetFile, ReadsWhatWasEncoded) {
  const auto directory =
      std::filesystem::temp_directory_path() / ("preset_file_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(directory);
  const auto path = directory / "mix.fxp";
  const std::vector<unsigned char> bytes = encodePreset(chunkPreset());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(readPresetFile(path).chunk, chunkPreset().chunk);
  EXPECT_THROW(readPresetFile(directory / "absent.fxp"), std::runtime_error);
  std::filesystem::remove_all(directory);
}

TEST(PresetFile, DescribesPluginIds) {
  EXPECT_EQ(describePluginId(0x4B747278), "'Ktrx' (1265922680)");
  EXPECT_EQ(describePluginId(0), "0");
}

}  // namespace

// Program files (.fxp): a plugin's settings in the host interface's
// interchange format. Every integer is 32-bit big-endian:
//   'CcnK', byte size of the rest of the file, 'FxCk' or 'FPCh', format
//   version 1, the plugin's unique id, the plugin's version, number of
//   parameters, program name (28 bytes, zero padded), then
//   'FxCk': one big-endian float per parameter (normalised values);
//   'FPCh': the chunk's byte size and the chunk as the plugin gave it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

struct PresetFile {
  enum class Kind { Parameters, Chunk };

  Kind kind = Kind::Chunk;
  std::int32_t formatVersion = 1;
  std::int32_t pluginId = 0;
  std::int32_t pluginVersion = 0;
  std::int32_t parameterCount = 0;
  std::string programName;           // at most 27 characters are kept
  std::vector<float> parameters;     // Kind::Parameters
  std::vector<unsigned char> chunk;  // Kind::Chunk
};

// A file that is not a program file, or is cut short or inconsistent.
struct PresetFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<unsigned char> encodePreset(const PresetFile& preset);
// Throws PresetFormatError.
PresetFile decodePreset(const std::vector<unsigned char>& bytes);

// Throws PresetFormatError for bad contents and std::runtime_error when the
// file cannot be read.
PresetFile readPresetFile(const std::filesystem::path& path);

// The id as its four characters where they are printable, else as a number.
std::string describePluginId(std::int32_t id);

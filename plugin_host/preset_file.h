// Program files (.fxp) and banks of programs (.fxb): a plugin's settings in
// the host interface's interchange format. Every integer is 32-bit big-endian:
//   'CcnK', byte size of the rest of the file, 'FxCk' or 'FPCh', format
//   version 1, the plugin's unique id, the plugin's version, number of
//   parameters, program name (28 bytes, zero padded), then
//   'FxCk': one big-endian float per parameter (normalised values);
//   'FPCh': the chunk's byte size and the chunk as the plugin gave it.
// A bank:
//   'CcnK', byte size of the rest of the file, 'FxBk' or 'FBCh', format
//   version (1 or 2), the plugin's unique id, the plugin's version, number
//   of programs, 128 reserved bytes (from version 2 on, the first four hold
//   the current program), then
//   'FxBk': each program as a whole program file;
//   'FBCh': the chunk's byte size and the bank's chunk as the plugin gave it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <variant>
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

struct PresetBank {
  enum class Kind { Programs, Chunk };

  Kind kind = Kind::Chunk;
  std::int32_t formatVersion = 2;
  std::int32_t pluginId = 0;
  std::int32_t pluginVersion = 0;
  std::int32_t programCount = 0;
  std::int32_t currentProgram = 0;   // written from format version 2 on, else 0
  std::vector<PresetFile> programs;  // Kind::Programs
  std::vector<unsigned char> chunk;  // Kind::Chunk
};

// What a file holds: one program or a bank of them.
using ProgramFile = std::variant<PresetFile, PresetBank>;

// A file that is not a program file, or is cut short or inconsistent.
struct PresetFormatError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<unsigned char> encodePreset(const PresetFile& preset);
// Throws PresetFormatError.
PresetFile decodePreset(const std::vector<unsigned char>& bytes);

std::vector<unsigned char> encodeBank(const PresetBank& bank);
// Throws PresetFormatError, as for every decode and read below.
PresetBank decodeBank(const std::vector<unsigned char>& bytes);

// A program or a bank, as the file's header says.
ProgramFile decodeProgramFile(const std::vector<unsigned char>& bytes);

// Throws PresetFormatError for bad contents and std::runtime_error when the
// file cannot be read.
PresetFile readPresetFile(const std::filesystem::path& path);
ProgramFile readProgramFile(const std::filesystem::path& path);

// The id as its four characters where they are printable, else as a number.
std::string describePluginId(std::int32_t id);

// Reads arbitrary bytes as a program file or a bank, as trimhost does
// (decodeProgramFile). The reader may refuse them only with
// PresetFormatError; where it accepts them, writing back what it read and
// reading that again must give the same program or bank, field by field.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <variant>
#include <vector>

#include "plugin_host/preset_file.h"
#include "property.h"

namespace {

// Bit for bit, so that a NaN value equals itself.
bool sameBits(float a, float b) {
  std::uint32_t aBits;
  std::uint32_t bBits;
  std::memcpy(&aBits, &a, sizeof aBits);
  std::memcpy(&bBits, &b, sizeof bBits);
  return aBits == bBits;
}

bool sameProgram(const PresetFile& a, const PresetFile& b) {
  return a.kind == b.kind && a.formatVersion == b.formatVersion && a.pluginId == b.pluginId &&
         a.pluginVersion == b.pluginVersion && a.parameterCount == b.parameterCount &&
         a.programName == b.programName &&
         std::equal(a.parameters.begin(), a.parameters.end(), b.parameters.begin(),
                    b.parameters.end(), sameBits) &&
         a.chunk == b.chunk;
}

bool sameBank(const PresetBank& a, const PresetBank& b) {
  return a.kind == b.kind && a.formatVersion == b.formatVersion && a.pluginId == b.pluginId &&
         a.pluginVersion == b.pluginVersion && a.programCount == b.programCount &&
         a.currentProgram == b.currentProgram &&
         std::equal(a.programs.begin(), a.programs.end(), b.programs.begin(), b.programs.end(),
                    sameProgram) &&
         a.chunk == b.chunk;
}

bool sameFile(const ProgramFile& a, const ProgramFile& b) {
  if (a.index() != b.index()) return false;
  if (const auto* program = std::get_if<PresetFile>(&a))
    return sameProgram(*program, std::get<PresetFile>(b));
  return sameBank(std::get<PresetBank>(a), std::get<PresetBank>(b));
}

// Any other exception leaves the fuzzer, which libFuzzer reports as a crash.
std::optional<ProgramFile> readOrRefuse(const std::vector<unsigned char>& bytes) {
  try {
    return decodeProgramFile(bytes);
  } catch (const PresetFormatError&) {
    return std::nullopt;
  }
}

std::vector<unsigned char> written(const ProgramFile& file) {
  if (const auto* program = std::get_if<PresetFile>(&file)) return encodePreset(*program);
  return encodeBank(std::get<PresetBank>(file));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An owned copy of exactly the input's size, so that reading past it is caught.
  const std::vector<unsigned char> bytes(data, data + size);
  const std::optional<ProgramFile> read = readOrRefuse(bytes);
  if (!read) return 0;
  const std::optional<ProgramFile> again = readOrRefuse(written(*read));
  require(again.has_value(), "what was read, written back, is read again");
  require(sameFile(*read, *again), "what was read, written back and read again is the same");
  return 0;
}

// How fuzz_host_sequence reads its input as host actions, shared with the
// seed generator so that both agree byte for byte.
//
// An input is a sequence of steps. Each step is an action byte, taken modulo
// the number of actions, followed by that action's fields in little-endian
// order. An input that ends inside a step reads zeros for the missing bytes,
// so every byte string is a valid sequence.
#pragma once

#include <cstdint>
#include <vector>

#include "aeffect.h"
#include "byte_fields.h"

enum class HostAction : std::uint8_t {
  // u8 opcode (its low 7 bits), i32 index, i64 value, f32 opt, then a payload
  // when the opcode takes one (see opcodeTakesPayload). effClose is skipped:
  // the harness closes after the last step. Where an opcode takes a pointer
  // through value, the harness's pointer replaces the value read.
  Dispatch,
  // i32 index, f32 value (any bits, NaN and infinities included).
  SetParameter,
  // i32 index.
  GetParameter,
  // i32 preset flag: loads a copy of the last saved chunk.
  LoadSavedCopy,
  // i32 preset flag: hands the plugin back the very buffer its last save
  // answered, as hosts may, while no load has replaced it since.
  LoadLiveSave,
  // u16 frame count (modulo kMaxFrames + 1), u8 process mode, f32 amplitude.
  ProcessFloat,
  // u16 frame count (modulo kMaxFrames + 1), u8 process mode, f64 amplitude.
  ProcessDouble,
};

constexpr std::uint8_t kHostActionCount = static_cast<std::uint8_t>(HostAction::ProcessDouble) + 1;
// Blocks longer than this reach no code a shorter one does not: every group
// form of the block loop and its leftover frames come far sooner. Longer
// blocks only slowed the fuzzing down, to a few hundred inputs a second.
constexpr std::int32_t kMaxFrames = 256;
constexpr std::uint8_t kOpcodeMask = 0x7F;

// Process mode bits.
constexpr std::uint8_t kProcessInPlace = 1 << 0;
constexpr std::uint8_t kProcessAccumulating = 1 << 1;  // float only
constexpr std::uint8_t kProcessMisaligned = 1 << 2;    // channels start a sample off alignment

// A payload is a u16 byte count and that many bytes: the text that
// effSetProgramName, effString2Parameter and effCanDo read, or the chunk that
// effSetChunk loads (its byte count then replaces the step's value).
constexpr bool opcodeTakesPayload(std::int32_t opcode) {
  return opcode == effSetProgramName || opcode == effString2Parameter || opcode == effCanDo ||
         opcode == effSetChunk;
}

class SequenceWriter : public FieldWriter {
 public:
  void dispatch(std::int32_t opcode, std::int32_t index = 0, std::int64_t value = 0,
                float opt = 0.0f, const std::vector<std::uint8_t>& payload = {}) {
    put(HostAction::Dispatch);
    put(static_cast<std::uint8_t>(opcode));
    put(index);
    put(value);
    put(opt);
    if (opcodeTakesPayload(opcode)) putPayload(payload);
  }

  void setParameter(std::int32_t index, float value) {
    put(HostAction::SetParameter);
    put(index);
    put(value);
  }

  void getParameter(std::int32_t index) {
    put(HostAction::GetParameter);
    put(index);
  }

  void loadSavedCopy() {
    put(HostAction::LoadSavedCopy);
    put(std::int32_t{0});
  }

  void loadLiveSave() {
    put(HostAction::LoadLiveSave);
    put(std::int32_t{0});
  }

  void processFloat(std::uint16_t frames, std::uint8_t mode, float amplitude) {
    put(HostAction::ProcessFloat);
    put(frames);
    put(mode);
    put(amplitude);
  }

  void processDouble(std::uint16_t frames, std::uint8_t mode, double amplitude) {
    put(HostAction::ProcessDouble);
    put(frames);
    put(mode);
    put(amplitude);
  }
};

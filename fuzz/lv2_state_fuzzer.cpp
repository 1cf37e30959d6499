// Restores arbitrary bytes as the LV2 edition's state property into an
// instance made through the descriptor, runs a block, saves, restores that
// save and saves again. The input is
//   u8   the property's type: even, atom:Chunk; odd, the URID (byte >> 1),
//        which may be unmapped or any other type;
//   u8   the control ports (modulo 3): unconnected; connected at their
//        defaults; moved from them, with a block run before the restore;
//   u32  the property's flags, little-endian;
//   then the property's value, handed back exactly: its size is what is left.
// A restore takes an atom:Chunk and refuses any other type; the values in
// force are then the chunk's over the defaults, and the connected ports' over
// those (the ports' values lie on the controls' steps, so they are kept as
// they are, to within the runtime's tolerance of a change); the block's
// outputs are finite whenever those values are; a save is one well-formed
// chunk holding them, and the save of a restored save is the same bytes.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "lv2_harness.h"

namespace {

constexpr std::int32_t kBlockFrames = 64;

enum class Ports : std::uint8_t { unconnected, defaults, moved };

// In the controls' own units: every control away from its default.
constexpr ControlValues kMovedControls = {-12.3f, -83.5f, -167.0f, 1.0f, 0.0f, 1.0f, 6.5f, 1.0f};

struct StateInput {
  std::uint8_t typeByte = 0;
  Ports ports = Ports::unconnected;
  std::uint32_t flags = 0;
  Chunk value;
};

StateInput readInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = 2 + sizeof(std::uint32_t);
  std::uint8_t header[kHeader] = {};
  std::memcpy(header, data, std::min(size, kHeader));
  StateInput input;
  input.typeByte = header[0];
  input.ports = static_cast<Ports>(header[1] % 3);
  std::memcpy(&input.flags, header + 2, sizeof input.flags);
  if (size > kHeader) input.value.assign(data + kHeader, data + size);
  return input;
}

// The values in force after the restore and a block: the chunk's over the
// defaults (zeros) when it was taken, the ports' over those when they are
// connected.
std::vector<float> valuesInForce(const StateInput& input, bool taken, const ControlValues& ports) {
  std::vector<float> values(kSavedValueCount, 0.0f);
  if (taken) values = expectedAfterLoad(values, valuesALoadTakes(input.value));
  if (input.ports != Ports::unconnected) std::copy(ports.begin(), ports.end(), values.begin());
  return values;
}

// What a save holds is the values in force; but a port moves its control only
// by more than the runtime's tolerance, so a value the chunk left that close
// to the port's may stay.
bool holdsValuesInForce(const std::vector<float>& held, const std::vector<float>& inForce,
                        bool portsConnected) {
  constexpr double kChangeTolerance = 0.00001;
  for (std::size_t index = 0; index < kSavedValueCount; ++index) {
    const bool portWins = portsConnected && index < kParameterCount;
    const double difference = static_cast<double>(held[index]) - inForce[index];
    if (portWins ? !(std::abs(difference) < kChangeTolerance)
                 : !sameValues({held[index]}, {inForce[index]}))
      return false;
  }
  return true;
}

void check(const StateInput& input) {
  Lv2Instance lv2;
  if (input.ports != Ports::unconnected) lv2.connectControls();
  lv2.activate();
  if (input.ports == Ports::moved) {
    lv2.controls() = kMovedControls;
    lv2.run(kBlockFrames, 1.0, true);
  }
  const LV2_URID type = (input.typeByte & 1) == 0 ? lv2.chunkType() : input.typeByte >> 1;
  const bool taken = type == lv2.chunkType();
  require(lv2.restore({lv2.chunkKey(), type, input.flags, input.value}) ==
              (taken ? LV2_STATE_SUCCESS : LV2_STATE_ERR_BAD_TYPE),
          "a restore takes an atom:Chunk and refuses any other type");
  const std::vector<float> inForce = valuesInForce(input, taken, lv2.controls());
  lv2.run(kBlockFrames, 1.0, allFinite(inForce));
  const StateProperty first = lv2.save();
  require(
      holdsValuesInForce(valuesALoadTakes(first.value), inForce, input.ports != Ports::unconnected),
      "a restore stores the values the chunk holds over the others, and the ports win");
  require(lv2.restore(first) == LV2_STATE_SUCCESS, "a restore takes a save");
  require(lv2.save().value == first.value, "the save of a restored save is the same");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  check(readInput(data, size));
  return 0;
}

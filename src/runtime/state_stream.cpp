// The state stream: the host's chunks travel through file record 0 as 32-bit
// floats, the marker -1000.0 first.
#include <cstring>
#include <new>
#include <vector>

#include "runtime/tovra.h"

namespace {

constexpr float kStateMarker = -1000.0f;

}  // namespace

std::int32_t TTovra::writeState(void** data) {
  if (data == nullptr) return 0;
  FileRecord& stream = stateStream();
  try {
    stream.reset(FileMode::Writing);
    stream.buffer.push_back(kStateMarker);
    stream.position = 1;
    serializeSection();
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (stream.buffer.size() <= 1) return 0;
  *data = stream.buffer.data();
  return static_cast<std::int32_t>(stream.buffer.size() * sizeof(float));
}

std::int32_t TTovra::readState(const void* data, std::int32_t byteCount) {
  // The chunk is copied out before the stream is reset: a host may hand back
  // the very buffer its last save received from this instance.
  std::vector<float> chunk;
  if (data != nullptr && byteCount >= static_cast<std::int32_t>(sizeof(float))) {
    try {
      chunk.resize(static_cast<std::size_t>(byteCount) / sizeof(float));
    } catch (const std::bad_alloc&) {
      return byteCount;
    }
    std::memcpy(chunk.data(), data, chunk.size() * sizeof(float));
  }
  FileRecord& stream = stateStream();
  stream.reset(FileMode::Reading);
  stream.buffer.swap(chunk);
  if (stream.buffer.empty() || stream.buffer[0] != kStateMarker) return byteCount;
  stream.position = 1;
  ensureInitialised();
  serializeSection();
  controlSection();
  return byteCount;
}

// The state stream: the host's chunks travel through file record 0 as 32-bit
// floats, the marker -1000.0 first.
#include <cstring>
#include <new>

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
    stream.reset(FileMode::Closed);
    return 0;
  }
  if (stream.buffer.size() <= 1) return 0;
  *data = stream.buffer.data();
  return static_cast<std::int32_t>(stream.buffer.size() * sizeof(float));
}

std::int32_t TTovra::readState(const void* data, std::int32_t byteCount) {
  FileRecord& stream = stateStream();
  stream.reset(FileMode::Reading);
  if (data == nullptr || byteCount < static_cast<std::int32_t>(sizeof(float))) return byteCount;
  try {
    stream.buffer.resize(static_cast<std::size_t>(byteCount) / sizeof(float));
  } catch (const std::bad_alloc&) {
    stream.reset(FileMode::Reading);
    return byteCount;
  }
  std::memcpy(stream.buffer.data(), data, stream.buffer.size() * sizeof(float));
  if (stream.buffer[0] != kStateMarker) return byteCount;
  stream.position = 1;
  ensureInitialised();
  serializeSection();
  controlSection();
  return byteCount;
}

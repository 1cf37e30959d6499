#include "state_chunks.h"

#include <algorithm>
#include <cstring>

#include "downmixer_view.h"

Chunk bytesOf(const std::vector<float>& floats) {
  Chunk bytes(floats.size() * sizeof(float));
  if (!floats.empty()) std::memcpy(bytes.data(), floats.data(), bytes.size());
  return bytes;
}

std::vector<float> floatsOf(const Chunk& bytes) {
  std::vector<float> floats(bytes.size() / sizeof(float));
  if (!floats.empty()) std::memcpy(floats.data(), bytes.data(), floats.size() * sizeof(float));
  return floats;
}

Chunk joined(Chunk front, const Chunk& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

Chunk cutTo(const Chunk& bytes, std::size_t size) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

std::vector<float> countingValues(std::size_t count) {
  std::vector<float> values;
  for (std::size_t value = 1; value <= count; ++value) values.push_back(value + 0.5f);
  return values;
}

Chunk chunkOf(const std::vector<float>& values) {
  return joined(bytesOf({kStateMarker}), bytesOf(values));
}

Chunk savedChunkOf(std::vector<float> values) {
  values.resize(kSavedValueCount, 0.0f);
  return chunkOf(values);
}

bool startsWithMarker(const Chunk& chunk) {
  return chunk.size() >= kMarkerBytes.size() &&
         std::equal(kMarkerBytes.begin(), kMarkerBytes.end(), chunk.begin());
}

std::vector<float> valuesALoadTakes(const Chunk& chunk) {
  if (!startsWithMarker(chunk)) return {};
  const std::vector<float> floats = floatsOf(chunk);
  const std::size_t count = std::min(floats.size() - 1, kSavedValueCount);
  return {floats.begin() + 1, floats.begin() + 1 + static_cast<std::ptrdiff_t>(count)};
}

// State chunks as a host handles them: bytes built from floats, saved from an
// instance and loaded into one.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "plugin_instance.h"

using Chunk = std::vector<unsigned char>;

constexpr float kMarker = -1000.0f;
constexpr std::array<unsigned char, 4> kMarkerBytes = {0x00, 0x00, 0x7A, 0xC4};
constexpr std::size_t kSavedValueCount = 64;
constexpr std::size_t kSavedChunkSize = 260;

// Floats as the machine stores them; both builds run on little-endian x86.
inline Chunk bytesOf(const std::vector<float>& floats) {
  Chunk bytes(floats.size() * sizeof(float));
  if (!floats.empty()) std::memcpy(bytes.data(), floats.data(), bytes.size());
  return bytes;
}

// The whole floats a chunk holds, a stray tail left out.
inline std::vector<float> floatsOf(const Chunk& bytes) {
  std::vector<float> floats(bytes.size() / sizeof(float));
  if (!floats.empty()) std::memcpy(floats.data(), bytes.data(), floats.size() * sizeof(float));
  return floats;
}

inline Chunk joined(Chunk front, const Chunk& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

// The marker, then the values.
inline Chunk chunkOf(const std::vector<float>& values) {
  return joined(bytesOf({kMarker}), bytesOf(values));
}

// What a save holds: control values 1 to 64, the given ones first, zeros after.
inline Chunk savedChunkOf(std::vector<float> values) {
  values.resize(kSavedValueCount, 0.0f);
  return chunkOf(values);
}

inline bool startsWithMarker(const Chunk& chunk) {
  return chunk.size() >= kMarkerBytes.size() &&
         std::equal(kMarkerBytes.begin(), kMarkerBytes.end(), chunk.begin());
}

// A copy of what the instance hands out; empty when it hands out nothing.
inline Chunk saveFrom(PluginInstance& instance, std::int32_t presetFlag = 0) {
  void* data = nullptr;
  const std::intptr_t size = instance.dispatch(effGetChunk, presetFlag, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return Chunk(bytes, bytes + size);
}

inline std::intptr_t loadInto(PluginInstance& instance, Chunk chunk) {
  return instance.dispatch(effSetChunk, 0, static_cast<std::intptr_t>(chunk.size()), chunk.data());
}

// State chunks as a host handles them: bytes built from floats and read back
// as floats, in the layout of downmixer_view.h.
#pragma once

#include <cstddef>
#include <vector>

using Chunk = std::vector<unsigned char>;

// Floats as the machine stores them; every build runs on little-endian x86.
Chunk bytesOf(const std::vector<float>& floats);

// The whole floats the bytes hold, a stray tail left out.
std::vector<float> floatsOf(const Chunk& bytes);

Chunk joined(Chunk front, const Chunk& back);

// The first `size` bytes, as a session cut short hands them back.
Chunk cutTo(const Chunk& bytes, std::size_t size);

// 1.5, 2.5, ...: values that differ from each other and from every default,
// so that each one a load takes or leaves shows.
std::vector<float> countingValues(std::size_t count);

// The marker, then the values.
Chunk chunkOf(const std::vector<float>& values);

// What a save holds: control values 1 to 64, the given ones first, zeros after.
Chunk savedChunkOf(std::vector<float> values);

bool startsWithMarker(const Chunk& chunk);

// The values a load takes from the chunk: those after the marker, at most 64;
// none when the chunk is shorter than the marker or starts otherwise.
std::vector<float> valuesALoadTakes(const Chunk& chunk);

#pragma once

// 16-bit indices reach at most this many vertices of one block.
constexpr int kMaxBlockVertices = 0x10000;

// Both caches check their block sizes at Init. Above the index range: prints "Block size
// greater than maximum index range\n" on standard output and exits with status 2. A block of
// no vertices or a negative index count exits the same way with "Block size out of range\n"
// (the video cache divides by the vertex count).
void CheckBlockLimits(int blockVertices, int maxIndices);

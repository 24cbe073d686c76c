#pragma once
#include "app/platform/failure.h"

// 16-bit indices reach at most this many vertices of one block.
constexpr int kMaxBlockVertices = 0x10000;

// The block sizes every cache checks at Init: above the index range it fails with "Block size
// greater than maximum index range\n"; a block of no vertices or a negative index count with
// "Block size out of range\n" (the video cache divides by the vertex count); both for the console
// with status 2.
Status CheckBlockLimits(int blockVertices, int maxIndices);

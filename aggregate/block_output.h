#pragma once
#include <cstdint>

#include "cache/geometry_cache.h"

// Write positions of the cache block being filled. The CABTT drawing method sets them around
// each block it builds; the aggregation builders write through them.
extern CacheVertex* BlockVertexStart;
extern CacheVertex* BlockVertexCursor;
extern uint16_t* BlockIndexCursor;
extern bool EmitVertices;  // true only while a block is being filled

// Back to the state of no block being filled.
void ResetBlockOutput();

// Block index of the next vertex written.
inline int NextBlockVertexIndex() { return static_cast<int>(BlockVertexCursor - BlockVertexStart); }

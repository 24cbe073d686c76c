#pragma once
#include <cstdint>

#include "cache/geometry_cache.h"

// Where a builder writes the block being filled: vertices from start (index 0) on, indices from
// indexCursor on; each write advances its cursor.
struct BlockOutput {
  CacheVertex* vertexStart;
  CacheVertex* vertexCursor;
  uint16_t* indexCursor;

  // Block index of the next vertex written.
  int NextVertexIndex() const { return static_cast<int>(vertexCursor - vertexStart); }
  int VerticesWritten() const { return NextVertexIndex(); }
};

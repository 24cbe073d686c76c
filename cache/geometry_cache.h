#pragma once
#include <cstdint>

#include "terrain/point3.h"

// One vertex of a cached block; its x and y double as texture coordinates.
using CacheVertex = Point3;

// Names a block within one cache lifetime; -1 means no block.
using BlockHandle = intptr_t;
constexpr BlockHandle kNoBlock = -1;

// Blocks of vertices and 16-bit indices, written in place, drawn at once, redrawn by handle.
class GeometryCache {
 public:
  virtual ~GeometryCache() = default;
  virtual void Init(int blockVertices, int maxIndices) = 0;
  virtual void Shutdown() = 0;
  virtual void BeginBlock(CacheVertex** vertices, uint16_t** indices) = 0;
  virtual BlockHandle EndBlock(int vertexCount, int indexCount) = 0;
  virtual void DrawBlock(BlockHandle handle) = 0;
  virtual void ReleaseBlock(BlockHandle handle) = 0;
};

extern GeometryCache* ActiveCache;

// Replace ActiveCache (destroying the previous object without Shutdown) by a new cache.
void CreateSystemMemoryCache();
void CreateVideoMemoryCache();

// The one rule both drawing methods use: video memory when both NV extensions were found.
void CreateGeometryCache();

// Destroys ActiveCache (for tests and program exit).
void DestroyGeometryCache();

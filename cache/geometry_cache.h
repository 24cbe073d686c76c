#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "app/platform/failure.h"
#include "terrain/point3.h"

// One vertex of a cached block; its x and y double as texture coordinates.
using CacheVertex = Point3;

// Names a block within one cache lifetime; -1 means no block.
using BlockHandle = intptr_t;
constexpr BlockHandle kNoBlock = -1;

// What a cache has handed the GL since it was made: draw calls issued, and bytes of vertices and
// indices given to the driver (read from the program's memory by a draw, or written into memory
// the GL owns when a block is built).
struct CacheTraffic {
  int64_t drawCalls = 0;
  int64_t driverBytes = 0;
};

// Blocks of vertices and 16-bit indices, written in place, drawn, redrawn by handle.
//
// Calling order, relied on by every implementation: Init, then for each block BeginBlock, the
// writing of at most blockVertices vertices and maxIndices indices, EndBlock (which draws it); a
// block is drawn again by DrawBlock and given back by ReleaseBlock, after which its handle is not
// used again; Shutdown gives back every block and all storage, after which Init may follow. No
// other operation comes between BeginBlock and EndBlock.
//
// Drawing order: a cache may hold draws back to issue them together, always in the order they
// were asked for. Flush issues every draw held back; the caller flushes at the end of each drawing
// pass and before anything that needs the draws issued (a change of GL state, reading pixels).
class GeometryCache {
 public:
  virtual ~GeometryCache() = default;
  // Prepares for blocks of these sizes; enables the client vertex and texture-coordinate arrays.
  virtual Status Init(int blockVertices, int maxIndices) = 0;
  virtual void Shutdown() = 0;
  // Storage for a new block; fails when none can be had (the cache is then as it was).
  virtual Status BeginBlock(CacheVertex** vertices, uint16_t** indices) = 0;
  virtual BlockHandle EndBlock(int vertexCount, int indexCount) = 0;
  virtual void DrawBlock(BlockHandle handle) = 0;
  virtual void ReleaseBlock(BlockHandle handle) = 0;
  virtual void Flush() = 0;
  virtual CacheTraffic Traffic() const = 0;
  // Heap allocations the cache holds (so that a test sees that it gave everything back).
  virtual long StorageInUse() const = 0;
};

// The kinds of cache: client arrays in the heap; NVIDIA's video memory with fenced recycling; one
// persistently mapped GL buffer with fenced recycling.
enum class CacheKind { kSystemMemory, kVideoMemory, kBufferStorage };

// How a drawing method gets a fresh cache at each activation, and which kind it gets.
struct CacheSource {
  CacheKind kind = CacheKind::kSystemMemory;
  std::function<std::unique_ptr<GeometryCache>()> create;
};

#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "cache/geometry_cache.h"

// A block number's index storage and its list link.
struct BlockRecord {
  uint16_t* indexBuffer;  // maxIndices entries, made when the number is first created
  uint16_t* indexEnd;     // one past the last index stored by EndBlock
  int link;  // live: stamp (interval of its latest draw); pending or free: next block, -1 at the end
};

// A run of drawsPerFence block draws closed by one NV fence.
struct FenceInterval {
  GLuint fence;     // set when the interval is closed; the open interval has none
  int pendingHead;  // blocks released while stamped with this interval; -1 when empty
  int pendingTail;
};

// All vertices in one range of video (or AGP) memory declared as the vertex array range and cut
// into slots; block n always uses slot n. The GPU reads slots after the draw calls return, so a
// released block is handed out again only once the fence of its latest draw's interval is done.
// Every NV entry point is reached through ActiveNvPlatform.
class VideoMemoryCache : public GeometryCache {
 public:
  void Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  void BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;

 private:
  friend struct VideoMemoryCacheProbe;  // tests walk the lists

  GLsizei AcquireRange();
  bool AcquireRangeWithPriority(GLfloat priority, GLsizei* size);
  void CloseInterval();
  void RetireFront();
  bool FrontIntervalComplete() const;
  void StampBlock(int block);
  int TakeFreeHead();
  CacheVertex* SlotAddress(int block) const;

  int retiredIntervals = 0;
  std::deque<FenceInterval> intervalQueue;
  int drawsUntilFence = 0;
  int drawsPerFence = 0;
  std::vector<BlockRecord> blockTable;
  int freeHead = -1;
  int blockVertices = 0;
  int blockCapacity = 0;
  void* rangeBase = nullptr;
  int maxIndices = 0;
  int currentBlock = -1;
};

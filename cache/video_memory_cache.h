#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "cache/cache_storage.h"
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
// Every NV entry point is reached through the NvPlatform it is given; its messages go to the
// Terrain log of the sink.
//
// Invariants between Init and Shutdown: the interval queue is never empty and only its back
// interval is open (has no fence); every block number created is exactly once live, on the
// pending list of the interval of its latest draw, or on the free list; a block reaches the free
// list only once the fence of its latest draw's interval has completed.
class VideoMemoryCache final : public GeometryCache {
 public:
  VideoMemoryCache(NvPlatform& nv, LogSink& log, CacheStorage::Allocator allocate = std::malloc)
      : nv(nv), log(log), storage(std::move(allocate)) {}
  ~VideoMemoryCache() override;
  VideoMemoryCache(const VideoMemoryCache&) = delete;
  VideoMemoryCache& operator=(const VideoMemoryCache&) = delete;

  Status Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  Status BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;
  long StorageInUse() const override { return storage.InUse(); }

 private:
  friend struct VideoMemoryCacheProbe;  // tests walk the lists

  // Video memory first, then AGP; sets rangeBase and blockCapacity. False: neither granted.
  bool AcquireRange(GLsizei* size);
  bool AcquireRangeWithPriority(GLfloat priority, GLsizei* size);
  void CloseInterval();
  void RetireFront();
  bool FrontIntervalComplete() const;
  void StampBlock(int block);
  int TakeFreeHead();
  CacheVertex* SlotAddress(int block) const;

  NvPlatform& nv;
  LogSink& log;
  CacheStorage storage;
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

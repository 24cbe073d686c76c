#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "cache/cache_storage.h"
#include "cache/fenced_slots.h"
#include "cache/geometry_cache.h"

// A block number's index storage.
struct BlockRecord {
  uint16_t* indexBuffer;  // maxIndices entries, made when the number is first created
  uint16_t* indexEnd;     // one past the last index stored by EndBlock
};

// All vertices in one range of video (or AGP) memory declared as the vertex array range and cut
// into slots; block n always uses slot n, recycled by FencedSlots behind NV fences. Indices stay
// in the heap and are read by each draw. Every NV entry point is reached through the NvPlatform
// it is given; its messages go to the Terrain log of the sink. Every block is drawn at once, so
// Flush has nothing to do.
class VideoMemoryCache final : public GeometryCache, private IntervalFences {
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
  void Flush() override {}
  CacheTraffic Traffic() const override { return traffic; }
  long StorageInUse() const override { return storage.InUse(); }

  const FencedSlots& slots() const { return blockSlots; }

 private:
  friend struct VideoMemoryCacheProbe;  // tests read the range

  // Video memory first, then AGP; sets rangeBase and blockCapacity. False: neither granted.
  bool AcquireRange(GLsizei* size);
  bool AcquireRangeWithPriority(GLfloat priority, GLsizei* size);
  CacheVertex* SlotAddress(int block) const;
  void DrawIndices(const BlockRecord& record);

  FenceId SetFence() override;
  bool FencePassed(FenceId fence) override;
  void WaitForFence(FenceId fence) override;
  void DeleteFence(FenceId fence) override;

  NvPlatform& nv;
  LogSink& log;
  CacheStorage storage;
  FencedSlots blockSlots{*this};
  std::vector<BlockRecord> blockTable;
  int blockVertices = 0;
  int blockCapacity = 0;
  void* rangeBase = nullptr;
  int maxIndices = 0;
  int currentBlock = -1;
  CacheTraffic traffic;
};

#pragma once
#include <GL/gl.h>

#include <cstdint>
#include <utility>

#include "app/platform/buffer_storage_platform.h"
#include "app/platform/log_sink.h"
#include "cache/cache_storage.h"
#include "cache/fenced_slots.h"
#include "cache/geometry_cache.h"

// Every block's vertices and indices in one GL buffer of immutable storage, mapped once,
// persistently and coherently, and cut into slots: block n always uses slot n, whose vertices are
// written where the GL reads them and drawn from buffer offsets with block n's base vertex. The
// GPU reads slots after the draw calls return, so FencedSlots recycles them behind fence syncs.
//
// Draws are held back and issued together by one base-vertex multi-draw, in the order asked for:
// at Flush, and before every fence (so that a fence always follows the draws of its interval).
// Every GL entry point beyond GL 1.1 is reached through the BufferStoragePlatform it is given; its
// messages go to the Terrain log of the sink. Its heap storage (the slot table and the held draws)
// is made at Init, so building a block never allocates.
//
// Layout of the buffer: the vertices of every slot, then the indices of every slot.
class BufferStorageCache final : public GeometryCache, private IntervalFences {
 public:
  BufferStorageCache(BufferStoragePlatform& gl, LogSink& log, CacheStorage::Allocator allocate = std::malloc)
      : gl(gl), log(log), storage(std::move(allocate)) {}
  ~BufferStorageCache() override;
  BufferStorageCache(const BufferStorageCache&) = delete;
  BufferStorageCache& operator=(const BufferStorageCache&) = delete;

  Status Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  Status BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;
  void Flush() override;
  CacheTraffic Traffic() const override { return traffic; }
  long StorageInUse() const override { return storage.InUse(); }

  const FencedSlots& slots() const { return blockSlots; }
  // Draws asked for and not yet issued.
  int HeldDraws() const { return heldCount; }

 private:
  // The largest granted buffer of the series: the first doubling of one slot above
  // kStorageTarget, halved while the GL answers GL_OUT_OF_MEMORY (or cannot map it). Sets buffer,
  // mapping and blockCapacity; false when not even one slot is granted.
  bool AcquireBuffer(GLsizeiptr* size);
  bool TryBuffer(GLsizeiptr size);
  void ReleaseBuffer();
  CacheVertex* SlotVertices(int slot) const;
  GLintptr SlotIndexOffset(int slot) const;
  void Hold(int slot);

  FenceId SetFence() override;
  bool FencePassed(FenceId fence) override;
  void WaitForFence(FenceId fence) override;
  void DeleteFence(FenceId fence) override;

  BufferStoragePlatform& gl;
  LogSink& log;
  CacheStorage storage;
  FencedSlots blockSlots{*this};
  GLuint buffer = 0;
  char* mapping = nullptr;
  GLintptr indexRegion = 0;  // offset of slot 0's indices
  int blockVertices = 0;
  int maxIndices = 0;
  int blockCapacity = 0;
  int currentSlot = -1;
  int* indexCounts = nullptr;  // per slot, as EndBlock stored it
  // The draws held back: index counts, byte offsets of the indices, base vertices.
  GLsizei* heldCounts = nullptr;
  const void** heldOffsets = nullptr;
  GLint* heldBases = nullptr;
  void* heldStorage = nullptr;
  int heldCount = 0;
  CacheTraffic traffic;
};

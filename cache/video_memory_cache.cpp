#include "cache/video_memory_cache.h"

#include "cache/block_limits.h"
#include "cache/client_arrays.h"

#ifndef GL_ALL_COMPLETED_NV
#define GL_ALL_COMPLETED_NV 0x84F2
#endif

namespace {

constexpr GLfloat kVideoPriority = 1.0f;
constexpr GLfloat kAgpPriority = 0.5f;

}  // namespace

VideoMemoryCache::~VideoMemoryCache() {
  // The range and the fences belong to the GL, which Shutdown gives them back to.
  for (const BlockRecord& record : blockTable) storage.Free(record.indexBuffer);
}

Status VideoMemoryCache::Init(int newBlockVertices, int newMaxIndices) {
  blockVertices = newBlockVertices;
  maxIndices = newMaxIndices;
  Status limits = CheckBlockLimits(blockVertices, maxIndices);
  if (!limits.ok()) return limits;

  rangeBase = nullptr;
  GLsizei size = 0;
  if (!AcquireRange(&size)) return Failure{"Failure to allocate cache memory.\n", Channel::kLog, 2};
  log.Logf("Successfully got %d bytes (%dk) of video memory\n", size, size / 1024);
  blockSlots.Start(blockCapacity, kVerticesPerFence / blockVertices);

  nv.VertexArrayRange(size, rangeBase);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  nv.EnableVertexArrayRange(true);
  PointClientArraysAt(static_cast<const CacheVertex*>(rangeBase));
  return {};
}

bool VideoMemoryCache::AcquireRange(GLsizei* size) {
  if (AcquireRangeWithPriority(kVideoPriority, size)) return true;
  log.Logf("Could not allocate video memory, switching to AGP memory.\n");
  return AcquireRangeWithPriority(kAgpPriority, size);
}

// The largest granted range of the series slot x 1, x 2, x 4, ..., ending at the first grant
// above kStorageTarget. A refusal ends the series and asks again for the size granted before.
bool VideoMemoryCache::AcquireRangeWithPriority(GLfloat priority, GLsizei* size) {
  const GLsizei slotBytes = blockVertices * static_cast<GLsizei>(sizeof(CacheVertex));
  int slots = 1;
  for (;;) {
    if (rangeBase != nullptr) {
      nv.FreeMemory(rangeBase);
      rangeBase = nullptr;
    }
    *size = slots * slotBytes;
    rangeBase = nv.AllocateMemory(*size, 0.0f, 0.0f, priority);
    if (rangeBase == nullptr) break;
    if (*size > kStorageTarget) {
      blockCapacity = slots;
      return true;
    }
    slots *= 2;
  }
  if (slots >= 2) {
    *size = slots / 2 * slotBytes;
    rangeBase = nv.AllocateMemory(*size, 0.0f, 0.0f, priority);
    if (rangeBase != nullptr) {
      blockCapacity = slots / 2;
      return true;
    }
  }
  return false;
}

CacheVertex* VideoMemoryCache::SlotAddress(int block) const {
  return static_cast<CacheVertex*>(rangeBase) + static_cast<size_t>(block) * blockVertices;
}

FenceId VideoMemoryCache::SetFence() {
  GLuint fence = 0;
  nv.GenFences(1, &fence);
  nv.SetFence(fence, GL_ALL_COMPLETED_NV);
  return fence;
}

bool VideoMemoryCache::FencePassed(FenceId fence) { return nv.TestFence(static_cast<GLuint>(fence)) != GL_FALSE; }

void VideoMemoryCache::WaitForFence(FenceId fence) { nv.FinishFence(static_cast<GLuint>(fence)); }

void VideoMemoryCache::DeleteFence(FenceId fence) {
  const GLuint name = static_cast<GLuint>(fence);
  nv.DeleteFences(1, &name);
}

Status VideoMemoryCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  int block = blockSlots.TakeFree();
  if (block == -1 && blockSlots.CanMakeSlot()) {
    auto* indexBuffer = static_cast<uint16_t*>(storage.Allocate(sizeof(uint16_t) * maxIndices));
    if (indexBuffer == nullptr) return OutOfCacheMemory();
    blockTable.push_back({indexBuffer, nullptr});
    block = blockSlots.MakeSlot();
  } else if (block == -1) {
    block = blockSlots.WaitForFree();
    if (block == -1) return Failure{"Ran out of video memory.\n", Channel::kLog, 1};
  }

  currentBlock = block;
  *vertices = SlotAddress(block);
  *indices = blockTable[block].indexBuffer;
  PointClientArraysAt(*vertices);
  return {};
}

// The vertices are in the range already; the indices are read from the heap at each draw.
void VideoMemoryCache::DrawIndices(const BlockRecord& record) {
  const GLsizei count = static_cast<GLsizei>(record.indexEnd - record.indexBuffer);
  glDrawElements(GL_TRIANGLES, count, GL_UNSIGNED_SHORT, record.indexBuffer);
  traffic.drawCalls += 1;
  traffic.driverBytes += static_cast<int64_t>(sizeof(uint16_t)) * count;
}

BlockHandle VideoMemoryCache::EndBlock(int vertexCount, int indexCount) {
  BlockRecord& record = blockTable[currentBlock];
  record.indexEnd = record.indexBuffer + indexCount;
  traffic.driverBytes += static_cast<int64_t>(sizeof(CacheVertex)) * vertexCount;  // written into the range
  DrawIndices(record);
  const int block = currentBlock;
  currentBlock = -1;
  blockSlots.Drawn(block);
  return block;
}

void VideoMemoryCache::DrawBlock(BlockHandle handle) {
  const int block = static_cast<int>(handle);
  PointClientArraysAt(SlotAddress(block));
  DrawIndices(blockTable[block]);
  blockSlots.Drawn(block);
}

void VideoMemoryCache::ReleaseBlock(BlockHandle handle) { blockSlots.Release(static_cast<int>(handle)); }

void VideoMemoryCache::Shutdown() {
  glFinish();
  const long long usedBytes = static_cast<long long>(blockTable.size()) * blockVertices * sizeof(CacheVertex);
  log.Logf("Actually used %dk video memory\n", static_cast<int>(usedBytes / 1024));

  for (const BlockRecord& record : blockTable) storage.Free(record.indexBuffer);
  blockTable.clear();
  blockSlots.Stop();

  nv.VertexArrayRange(0, nullptr);
  nv.FreeMemory(rangeBase);
  nv.EnableVertexArrayRange(false);
  rangeBase = nullptr;
  currentBlock = -1;
}

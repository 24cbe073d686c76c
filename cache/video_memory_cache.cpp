#include "cache/video_memory_cache.h"

#include "cache/block_limits.h"
#include "cache/client_arrays.h"

#ifndef GL_ALL_COMPLETED_NV
#define GL_ALL_COMPLETED_NV 0x84F2
#endif

namespace {

// One interval covers the draws of as many slots as hold this many vertices.
constexpr int kVerticesPerFence = 0x20000;
// The doubling series stops at the first granted range above this size.
constexpr GLsizei kRangeTarget = 50331648;
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
  retiredIntervals = 0;
  freeHead = -1;
  intervalQueue.push_back({0, -1, -1});
  drawsPerFence = kVerticesPerFence / blockVertices;
  drawsUntilFence = drawsPerFence;

  rangeBase = nullptr;
  GLsizei size = 0;
  if (!AcquireRange(&size)) {
    intervalQueue.clear();
    return Failure{"Failure to allocate cache memory.\n", Channel::kLog, 2};
  }
  log.Logf("Successfully got %d bytes (%dk) of video memory\n", size, size / 1024);

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
// above kRangeTarget. A refusal ends the series and asks again for the size granted before.
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
    if (*size > kRangeTarget) {
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

bool VideoMemoryCache::FrontIntervalComplete() const {
  return nv.TestFence(intervalQueue.front().fence) != GL_FALSE;
}

void VideoMemoryCache::CloseInterval() {
  GLuint fence = 0;
  nv.GenFences(1, &fence);
  nv.SetFence(fence, GL_ALL_COMPLETED_NV);
  intervalQueue.back().fence = fence;
  // The interval just closed is the back entry, so this loop never retires it.
  while (intervalQueue.size() >= 2 && FrontIntervalComplete()) RetireFront();
  intervalQueue.push_back({0, -1, -1});
  drawsUntilFence = drawsPerFence;
}

// Moves the front interval's pending blocks, in their own order, in front of the free list.
void VideoMemoryCache::RetireFront() {
  FenceInterval& front = intervalQueue.front();
  nv.DeleteFences(1, &front.fence);
  if (front.pendingTail != -1) {
    blockTable[front.pendingTail].link = freeHead;
    freeHead = front.pendingHead;
  }
  intervalQueue.pop_front();
  ++retiredIntervals;
}

void VideoMemoryCache::StampBlock(int block) {
  blockTable[block].link = retiredIntervals + static_cast<int>(intervalQueue.size()) - 1;
  if (--drawsUntilFence == 0) CloseInterval();
}

int VideoMemoryCache::TakeFreeHead() {
  const int block = freeHead;
  freeHead = blockTable[block].link;
  return block;
}

Status VideoMemoryCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  // Cheapest first: completed intervals, then a never-used slot, then waiting on fences.
  if (freeHead == -1) {
    while (intervalQueue.size() >= 2 && FrontIntervalComplete()) {
      RetireFront();
      if (freeHead != -1) break;
    }
  }
  int block = -1;
  if (freeHead != -1) {
    block = TakeFreeHead();
  } else if (static_cast<int>(blockTable.size()) < blockCapacity) {
    block = static_cast<int>(blockTable.size());
    auto* indexBuffer = static_cast<uint16_t*>(storage.Allocate(sizeof(uint16_t) * maxIndices));
    if (indexBuffer == nullptr) return OutOfCacheMemory();
    blockTable.push_back({indexBuffer, nullptr, 0});
  } else {
    while (intervalQueue.size() >= 2) {
      nv.FinishFence(intervalQueue.front().fence);
      RetireFront();
      if (freeHead != -1) {
        block = TakeFreeHead();
        break;
      }
    }
    if (block == -1) {
      CloseInterval();
      nv.FinishFence(intervalQueue.front().fence);
      RetireFront();
      if (freeHead == -1) return Failure{"Ran out of video memory.\n", Channel::kLog, 1};
      block = TakeFreeHead();
    }
  }

  currentBlock = block;
  *vertices = SlotAddress(block);
  *indices = blockTable[block].indexBuffer;
  PointClientArraysAt(*vertices);
  return {};
}

BlockHandle VideoMemoryCache::EndBlock(int /*vertexCount*/, int indexCount) {
  BlockRecord& record = blockTable[currentBlock];
  record.indexEnd = record.indexBuffer + indexCount;
  glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, record.indexBuffer);
  const int block = currentBlock;
  currentBlock = -1;
  StampBlock(block);
  return block;
}

void VideoMemoryCache::DrawBlock(BlockHandle handle) {
  const int block = static_cast<int>(handle);
  const BlockRecord& record = blockTable[block];
  PointClientArraysAt(SlotAddress(block));
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(record.indexEnd - record.indexBuffer), GL_UNSIGNED_SHORT,
                 record.indexBuffer);
  StampBlock(block);
}

void VideoMemoryCache::ReleaseBlock(BlockHandle handle) {
  const int block = static_cast<int>(handle);
  BlockRecord& record = blockTable[block];
  const int position = record.link - retiredIntervals;
  if (position < 0) {
    // The interval of its latest draw is already retired: the slot is free now.
    record.link = freeHead;
    freeHead = block;
    return;
  }
  FenceInterval& interval = intervalQueue[position];
  record.link = interval.pendingHead;
  if (interval.pendingHead == -1) interval.pendingTail = block;
  interval.pendingHead = block;
}

void VideoMemoryCache::Shutdown() {
  glFinish();
  const long long usedBytes = static_cast<long long>(blockTable.size()) * blockVertices * sizeof(CacheVertex);
  log.Logf("Actually used %dk video memory\n", static_cast<int>(usedBytes / 1024));

  for (const BlockRecord& record : blockTable) storage.Free(record.indexBuffer);
  blockTable.clear();
  // The open interval at the back has no fence.
  for (size_t i = 0; i + 1 < intervalQueue.size(); ++i) nv.DeleteFences(1, &intervalQueue[i].fence);
  intervalQueue.clear();

  nv.VertexArrayRange(0, nullptr);
  nv.FreeMemory(rangeBase);
  nv.EnableVertexArrayRange(false);
  rangeBase = nullptr;
  currentBlock = -1;
}

#include "cache/system_memory_cache.h"

#include <GL/gl.h>

#include "cache/block_limits.h"
#include "cache/client_arrays.h"

Status SystemMemoryCache::Init(int newBlockVertices, int newMaxIndices) {
  Status limits = CheckBlockLimits(newBlockVertices, newMaxIndices);
  if (!limits.ok()) return limits;
  blockVertices = newBlockVertices;
  maxIndices = newMaxIndices;
  currentVertices = nullptr;
  currentIndices = nullptr;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  return {};
}

Status SystemMemoryCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  auto* blockVertexStorage = static_cast<CacheVertex*>(storage.Allocate(sizeof(CacheVertex) * blockVertices));
  auto* blockIndexStorage = static_cast<uint16_t*>(storage.Allocate(sizeof(uint16_t) * maxIndices));
  StoredBlock* record = spareRecords;
  if (record == nullptr) record = static_cast<StoredBlock*>(storage.Allocate(sizeof(StoredBlock)));
  if (blockVertexStorage == nullptr || blockIndexStorage == nullptr || record == nullptr) {
    storage.Free(blockVertexStorage);
    storage.Free(blockIndexStorage);
    if (record != spareRecords) storage.Free(record);
    return OutOfCacheMemory();
  }
  if (record == spareRecords) spareRecords = record->next;
  currentVertices = blockVertexStorage;
  currentIndices = blockIndexStorage;
  *vertices = currentVertices;
  *indices = currentIndices;

  record->prev = nullptr;
  record->next = liveBlocks;
  if (liveBlocks != nullptr) liveBlocks->prev = record;
  liveBlocks = record;

  record->vertices = currentVertices;
  record->indices = currentIndices;
  record->vertexCount = 0;
  record->indexCount = 0;
  currentBlock = record;
  PointClientArraysAt(currentVertices);
  return {};
}

void SystemMemoryCache::Draw(const StoredBlock& record) {
  glDrawElements(GL_TRIANGLES, record.indexCount, GL_UNSIGNED_SHORT, record.indices);
  traffic.drawCalls += 1;
  traffic.driverBytes += static_cast<int64_t>(sizeof(CacheVertex)) * record.vertexCount +
                         static_cast<int64_t>(sizeof(uint16_t)) * record.indexCount;
}

BlockHandle SystemMemoryCache::EndBlock(int vertexCount, int indexCount) {
  currentBlock->vertexCount = vertexCount;
  currentBlock->indexCount = indexCount;
  Draw(*currentBlock);
  currentVertices = nullptr;
  currentIndices = nullptr;
  const BlockHandle handle = reinterpret_cast<BlockHandle>(currentBlock);
  currentBlock = nullptr;
  return handle;
}

void SystemMemoryCache::DrawBlock(BlockHandle handle) {
  const StoredBlock* record = RecordOf(handle);
  PointClientArraysAt(record->vertices);
  Draw(*record);
}

void SystemMemoryCache::ReleaseBlock(BlockHandle handle) {
  StoredBlock* record = RecordOf(handle);
  if (record->prev != nullptr) {
    record->prev->next = record->next;
    if (record->next != nullptr) record->next->prev = record->prev;
  } else {
    if (record->next != nullptr) record->next->prev = nullptr;
    liveBlocks = record->next;
  }
  record->prev = nullptr;

  record->next = spareRecords;
  spareRecords = record;

  storage.Free(record->vertices);
  storage.Free(record->indices);
  record->vertices = nullptr;
  record->indices = nullptr;
}

void SystemMemoryCache::Shutdown() {
  while (spareRecords != nullptr) {
    StoredBlock* next = spareRecords->next;
    storage.Free(spareRecords);
    spareRecords = next;
  }
  while (liveBlocks != nullptr) {
    StoredBlock* next = liveBlocks->next;
    storage.Free(liveBlocks->vertices);
    storage.Free(liveBlocks->indices);
    storage.Free(liveBlocks);
    liveBlocks = next;
  }
  // A block that was filling has just been freed with the live ones: drop every pointer to it.
  currentBlock = nullptr;
  currentVertices = nullptr;
  currentIndices = nullptr;
}

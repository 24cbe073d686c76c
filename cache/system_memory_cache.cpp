#include "cache/system_memory_cache.h"

#include <GL/gl.h>

#include "cache/block_limits.h"
#include "cache/cache_storage.h"
#include "cache/client_arrays.h"

void SystemMemoryCache::Init(int newBlockVertices, int newMaxIndices) {
  CheckBlockLimits(newBlockVertices, newMaxIndices);
  blockVertices = newBlockVertices;
  maxIndices = newMaxIndices;
  currentVertices = nullptr;
  currentIndices = nullptr;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void SystemMemoryCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  currentVertices = static_cast<CacheVertex*>(AllocateCacheStorage(sizeof(CacheVertex) * blockVertices));
  currentIndices = static_cast<uint16_t*>(AllocateCacheStorage(sizeof(uint16_t) * maxIndices));
  *vertices = currentVertices;
  *indices = currentIndices;

  StoredBlock* record = spareRecords;
  if (record != nullptr)
    spareRecords = record->next;
  else
    record = static_cast<StoredBlock*>(AllocateCacheStorage(sizeof(StoredBlock)));

  record->prev = nullptr;
  record->next = liveBlocks;
  if (liveBlocks != nullptr) liveBlocks->prev = record;
  liveBlocks = record;

  record->vertices = currentVertices;
  record->indices = currentIndices;
  record->indexCount = 0;
  currentBlock = record;
  PointClientArraysAt(currentVertices);
}

BlockHandle SystemMemoryCache::EndBlock(int /*vertexCount*/, int indexCount) {
  glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, currentIndices);
  currentBlock->indexCount = indexCount;
  currentVertices = nullptr;
  currentIndices = nullptr;
  const BlockHandle handle = reinterpret_cast<BlockHandle>(currentBlock);
  currentBlock = nullptr;
  return handle;
}

void SystemMemoryCache::DrawBlock(BlockHandle handle) {
  const StoredBlock* record = RecordOf(handle);
  PointClientArraysAt(record->vertices);
  glDrawElements(GL_TRIANGLES, record->indexCount, GL_UNSIGNED_SHORT, record->indices);
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

  FreeCacheStorage(record->vertices);
  FreeCacheStorage(record->indices);
  record->vertices = nullptr;
  record->indices = nullptr;
}

void SystemMemoryCache::Shutdown() {
  while (spareRecords != nullptr) {
    StoredBlock* next = spareRecords->next;
    FreeCacheStorage(spareRecords);
    spareRecords = next;
  }
  while (liveBlocks != nullptr) {
    StoredBlock* next = liveBlocks->next;
    FreeCacheStorage(liveBlocks->vertices);
    FreeCacheStorage(liveBlocks->indices);
    FreeCacheStorage(liveBlocks);
    liveBlocks = next;
  }
  // A block that was filling has just been freed with the live ones: drop every pointer to it.
  currentBlock = nullptr;
  currentVertices = nullptr;
  currentIndices = nullptr;
}

#include "cache/buffer_storage_cache.h"

#include "cache/block_limits.h"

namespace {

constexpr GLbitfield kMapping = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;
// How long one wait for a fence may block before it is asked again.
constexpr GLuint64 kWaitNanoseconds = 1000000000;

bool Signalled(GLenum waitResult) { return waitResult == GL_ALREADY_SIGNALED || waitResult == GL_CONDITION_SATISFIED; }

}  // namespace

BufferStorageCache::~BufferStorageCache() {
  // The buffer and the fences belong to the GL, which Shutdown gives them back to.
  storage.Free(indexCounts);
  storage.Free(heldStorage);
}

Status BufferStorageCache::Init(int newBlockVertices, int newMaxIndices) {
  Status limits = CheckBlockLimits(newBlockVertices, newMaxIndices);
  if (!limits.ok()) return limits;
  blockVertices = newBlockVertices;
  maxIndices = newMaxIndices;

  GLsizeiptr size = 0;
  if (!AcquireBuffer(&size)) return Failure{"Failure to allocate cache memory.\n", Channel::kLog, 2};
  const int drawsPerFence = kVerticesPerFence / blockVertices;
  indexCounts = static_cast<int*>(storage.Allocate(sizeof(int) * blockCapacity));
  heldStorage = storage.Allocate((sizeof(void*) + sizeof(GLsizei) + sizeof(GLint)) * drawsPerFence);
  if (indexCounts == nullptr || heldStorage == nullptr) {
    Shutdown();
    return OutOfCacheMemory();
  }
  heldOffsets = static_cast<const void**>(heldStorage);
  heldCounts = reinterpret_cast<GLsizei*>(heldOffsets + drawsPerFence);
  heldBases = reinterpret_cast<GLint*>(heldCounts + drawsPerFence);
  heldCount = 0;
  log.Logf("Successfully got %lld bytes (%lldk) of video memory\n", static_cast<long long>(size),
           static_cast<long long>(size / 1024));
  blockSlots.Start(blockCapacity, drawsPerFence);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  return {};
}

bool BufferStorageCache::AcquireBuffer(GLsizeiptr* size) {
  const GLsizeiptr slotBytes = static_cast<GLsizeiptr>(sizeof(CacheVertex)) * blockVertices +
                               static_cast<GLsizeiptr>(sizeof(uint16_t)) * maxIndices;
  int slots = 1;
  while (slots * slotBytes <= kStorageTarget) slots *= 2;
  for (; slots >= 1; slots /= 2) {
    *size = slots * slotBytes;
    if (TryBuffer(*size)) {
      blockCapacity = slots;
      indexRegion = static_cast<GLintptr>(sizeof(CacheVertex)) * blockVertices * slots;
      return true;
    }
  }
  return false;
}

// One attempt on a fresh buffer name: a refused one is deleted again.
bool BufferStorageCache::TryBuffer(GLsizeiptr size) {
  buffer = gl.CreateBuffer();
  gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
  if (gl.BufferStorage(GL_ARRAY_BUFFER, size, kMapping) == GL_NO_ERROR)
    mapping = static_cast<char*>(gl.MapBufferRange(GL_ARRAY_BUFFER, 0, size, kMapping));
  gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  if (mapping != nullptr) return true;
  gl.DeleteBuffer(buffer);
  buffer = 0;
  return false;
}

void BufferStorageCache::ReleaseBuffer() {
  if (buffer == 0) return;
  gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.UnmapBuffer(GL_ARRAY_BUFFER);
  gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  gl.DeleteBuffer(buffer);
  buffer = 0;
  mapping = nullptr;
}

CacheVertex* BufferStorageCache::SlotVertices(int slot) const {
  return reinterpret_cast<CacheVertex*>(mapping) + static_cast<size_t>(slot) * blockVertices;
}

GLintptr BufferStorageCache::SlotIndexOffset(int slot) const {
  return indexRegion + static_cast<GLintptr>(sizeof(uint16_t)) * maxIndices * slot;
}

Status BufferStorageCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  int slot = blockSlots.TakeFree();
  if (slot == -1 && blockSlots.CanMakeSlot()) {
    slot = blockSlots.MakeSlot();
  } else if (slot == -1) {
    slot = blockSlots.WaitForFree();
    if (slot == -1) return Failure{"Ran out of video memory.\n", Channel::kLog, 1};
  }
  currentSlot = slot;
  *vertices = SlotVertices(slot);
  *indices = reinterpret_cast<uint16_t*>(mapping + SlotIndexOffset(slot));
  return {};
}

void BufferStorageCache::Hold(int slot) {
  // A block of no indices draws nothing: it costs no call, but its draw still counts for the fence.
  if (indexCounts[slot] > 0) {
    heldCounts[heldCount] = indexCounts[slot];
    heldOffsets[heldCount] = reinterpret_cast<const void*>(SlotIndexOffset(slot));
    heldBases[heldCount] = slot * blockVertices;
    ++heldCount;
  }
  blockSlots.Drawn(slot);
}

BlockHandle BufferStorageCache::EndBlock(int vertexCount, int indexCount) {
  const int slot = currentSlot;
  currentSlot = -1;
  indexCounts[slot] = indexCount;
  // Written straight into the GL's buffer, once; redraws hand nothing more over.
  traffic.driverBytes += static_cast<int64_t>(sizeof(CacheVertex)) * vertexCount +
                         static_cast<int64_t>(sizeof(uint16_t)) * indexCount;
  Hold(slot);
  return slot;
}

void BufferStorageCache::DrawBlock(BlockHandle handle) { Hold(static_cast<int>(handle)); }

void BufferStorageCache::ReleaseBlock(BlockHandle handle) { blockSlots.Release(static_cast<int>(handle)); }

void BufferStorageCache::Flush() {
  if (heldCount == 0) return;
  gl.BindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
  // Offsets into the bound buffer; the texture coordinates are each vertex's own x and y.
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  glTexCoordPointer(2, GL_FLOAT, sizeof(CacheVertex), nullptr);
  gl.MultiDrawElementsBaseVertex(GL_TRIANGLES, heldCounts, GL_UNSIGNED_SHORT, heldOffsets, heldCount, heldBases);
  // Code that draws client arrays after this must not find a buffer bound.
  gl.BindBuffer(GL_ARRAY_BUFFER, 0);
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  traffic.drawCalls += 1;
  heldCount = 0;
}

FenceId BufferStorageCache::SetFence() {
  Flush();
  return reinterpret_cast<FenceId>(gl.FenceSync());
}

// A poll does not flush: that would cut the frame's work short on every new block. The blocking
// wait flushes, so a fence the GL has not yet been sent still passes.
bool BufferStorageCache::FencePassed(FenceId fence) {
  return Signalled(gl.ClientWaitSync(reinterpret_cast<GLsync>(fence), 0, 0));
}

void BufferStorageCache::WaitForFence(FenceId fence) {
  GLenum result;
  do {
    result = gl.ClientWaitSync(reinterpret_cast<GLsync>(fence), GL_SYNC_FLUSH_COMMANDS_BIT, kWaitNanoseconds);
  } while (result == GL_TIMEOUT_EXPIRED);
}

void BufferStorageCache::DeleteFence(FenceId fence) { gl.DeleteSync(reinterpret_cast<GLsync>(fence)); }

void BufferStorageCache::Shutdown() {
  if (buffer == 0 && indexCounts == nullptr && heldStorage == nullptr) return;
  // Draws held back belong to a pass that will not be finished.
  heldCount = 0;
  if (blockSlots.Started()) {
    glFinish();
    const long long usedBytes = static_cast<long long>(blockSlots.SlotsMade()) *
                                (sizeof(CacheVertex) * blockVertices + sizeof(uint16_t) * maxIndices);
    log.Logf("Actually used %dk video memory\n", static_cast<int>(usedBytes / 1024));
    blockSlots.Stop();
  }
  ReleaseBuffer();
  storage.Free(indexCounts);
  storage.Free(heldStorage);
  indexCounts = nullptr;
  heldStorage = nullptr;
  heldCounts = nullptr;
  heldOffsets = nullptr;
  heldBases = nullptr;
  currentSlot = -1;
}

#include "fake_buffer_platform.h"

FakeBufferPlatform::FakeBufferPlatform() : driver_(CreateDriverBufferStoragePlatform()) {}

FakeBufferPlatform::~FakeBufferPlatform() {
  for (const auto& fence : liveFences) driver_->DeleteSync(fence.first);
  for (GLuint buffer : liveBuffers) driver_->DeleteBuffer(buffer);
}

GLuint FakeBufferPlatform::CreateBuffer() {
  const GLuint buffer = driver_->CreateBuffer();
  liveBuffers.insert(buffer);
  return buffer;
}

void FakeBufferPlatform::DeleteBuffer(GLuint buffer) {
  if (liveBuffers.erase(buffer) == 0 || mapped.count(buffer) != 0) ++misuses;
  for (auto& binding : bound)
    if (binding.second == buffer) binding.second = 0;
  driver_->DeleteBuffer(buffer);
}

void FakeBufferPlatform::BindBuffer(GLenum target, GLuint buffer) {
  if (buffer != 0 && liveBuffers.count(buffer) == 0) ++misuses;
  bound[target] = buffer;
  driver_->BindBuffer(target, buffer);
}

GLenum FakeBufferPlatform::BufferStorage(GLenum target, GLsizeiptr size, GLbitfield flags) {
  if (bound[target] == 0) ++misuses;
  const bool grant = size > 0 && grants(size);
  storageRequests.push_back({size, flags, grant});
  if (!grant) return GL_OUT_OF_MEMORY;
  return driver_->BufferStorage(target, size, flags);
}

void* FakeBufferPlatform::MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) {
  if (bound[target] == 0) ++misuses;
  void* mapping = driver_->MapBufferRange(target, offset, length, access);
  if (mapping != nullptr) mapped.insert(bound[target]);
  return mapping;
}

void FakeBufferPlatform::UnmapBuffer(GLenum target) {
  if (mapped.erase(bound[target]) == 0) ++misuses;
  driver_->UnmapBuffer(target);
}

GLsync FakeBufferPlatform::FenceSync() {
  GLsync sync = driver_->FenceSync();
  liveFences[sync] = ++fencesSet;
  drawsBeforeFence.push_back(drawnBases.size());
  return sync;
}

GLenum FakeBufferPlatform::ClientWaitSync(GLsync sync, GLbitfield flags, GLuint64 timeoutNanoseconds) {
  if (liveFences.count(sync) == 0) {
    ++misuses;
    return GL_WAIT_FAILED;
  }
  const int number = liveFences[sync];
  if (timeoutNanoseconds == 0) return FenceComplete(number) ? GL_ALREADY_SIGNALED : GL_TIMEOUT_EXPIRED;
  ++waits;
  const GLenum result = driver_->ClientWaitSync(sync, flags, timeoutNanoseconds);
  if (result != GL_ALREADY_SIGNALED && result != GL_CONDITION_SATISFIED) return result;
  CompleteFencesThrough(number);
  return GL_CONDITION_SATISFIED;
}

void FakeBufferPlatform::DeleteSync(GLsync sync) {
  if (liveFences.erase(sync) == 0) {
    ++misuses;
    return;
  }
  driver_->DeleteSync(sync);
}

void FakeBufferPlatform::MultiDrawElementsBaseVertex(GLenum mode, const GLsizei* counts, GLenum type,
                                                     const void* const* offsets, GLsizei drawCount,
                                                     const GLint* baseVertices) {
  if (bound[GL_ARRAY_BUFFER] == 0 || bound[GL_ELEMENT_ARRAY_BUFFER] == 0) ++misuses;
  ++multiDraws;
  drawnBases.insert(drawnBases.end(), baseVertices, baseVertices + drawCount);
  driver_->MultiDrawElementsBaseVertex(mode, counts, type, offsets, drawCount, baseVertices);
}

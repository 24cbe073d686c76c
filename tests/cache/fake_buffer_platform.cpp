#include "fake_buffer_platform.h"

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
  misuses += liveBuffers.erase(buffer) == 0;
  driver_->DeleteBuffer(buffer);
}

GLenum FakeBufferPlatform::BufferStorage(GLenum target, GLsizeiptr size, GLbitfield flags) {
  storageRequests.push_back({size, flags, grants(size)});
  return storageRequests.back().granted ? driver_->BufferStorage(target, size, flags) : GL_OUT_OF_MEMORY;
}

GLsync FakeBufferPlatform::FenceSync() {
  GLsync sync = driver_->FenceSync();
  liveFences[sync] = ++fencesSet;
  drawsBeforeFence.push_back(drawnBases.size());
  return sync;
}

GLenum FakeBufferPlatform::ClientWaitSync(GLsync sync, GLbitfield flags, GLuint64 timeoutNanoseconds) {
  const auto fence = liveFences.find(sync);
  if (fence == liveFences.end()) {
    ++misuses;
    return GL_WAIT_FAILED;
  }
  if (timeoutNanoseconds == 0) return FenceComplete(fence->second) ? GL_ALREADY_SIGNALED : GL_TIMEOUT_EXPIRED;
  ++waits;
  const GLenum result = driver_->ClientWaitSync(sync, flags, timeoutNanoseconds);
  if (result == GL_ALREADY_SIGNALED || result == GL_CONDITION_SATISFIED) CompleteFencesThrough(fence->second);
  return result;
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
  ++multiDraws;
  drawnBases.insert(drawnBases.end(), baseVertices, baseVertices + drawCount);
  driver_->MultiDrawElementsBaseVertex(mode, counts, type, offsets, drawCount, baseVertices);
}

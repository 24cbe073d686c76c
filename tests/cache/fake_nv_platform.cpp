#include "fake_nv_platform.h"

#include <cstdlib>

#ifndef GL_ALL_COMPLETED_NV
#define GL_ALL_COMPLETED_NV 0x84F2
#endif

FakeNvPlatform::~FakeNvPlatform() {
  for (void* memory : granted) std::free(memory);
}

void* FakeNvPlatform::AllocateMemory(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency, GLfloat priority) {
  const bool grant = size > 0 && grants(size, priority);
  allocations.push_back({size, readFrequency, writeFrequency, priority, grant});
  void* memory = grant ? std::malloc(static_cast<size_t>(size)) : nullptr;
  if (memory != nullptr) granted.insert(memory);
  return memory;
}

void FakeNvPlatform::FreeMemory(void* pointer) {
  if (granted.erase(pointer) == 0) {
    ++misuses;
    return;
  }
  std::free(pointer);
}

void FakeNvPlatform::GenFences(GLsizei count, GLuint* fences) {
  for (GLsizei i = 0; i < count; ++i) liveFences.insert(fences[i] = ++fencesGenerated);
}

void FakeNvPlatform::SetFence(GLuint fence, GLenum condition) {
  fencesSet.push_back(fence);
  if (liveFences.count(fence) == 0 || condition != GL_ALL_COMPLETED_NV) {
    ++misuses;
    return;
  }
  settledFences.insert(fence);
  lastFenceSet = std::max(lastFenceSet, fence);
}

GLboolean FakeNvPlatform::TestFence(GLuint fence) {
  if (!FenceUsable(fence)) ++misuses;
  return FenceComplete(fence) ? GL_TRUE : GL_FALSE;
}

void FakeNvPlatform::FinishFence(GLuint fence) {
  fencesFinished.push_back(fence);
  if (!FenceUsable(fence)) ++misuses;
  CompleteFencesThrough(fence);
}

void FakeNvPlatform::DeleteFences(GLsizei count, const GLuint* fences) {
  for (GLsizei i = 0; i < count; ++i) {
    fencesDeleted.push_back(fences[i]);
    if (liveFences.erase(fences[i]) == 0) ++misuses;
    settledFences.erase(fences[i]);
  }
}

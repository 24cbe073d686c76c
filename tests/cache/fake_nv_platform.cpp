#include "fake_nv_platform.h"

#include <algorithm>
#include <cstdlib>

#ifndef GL_ALL_COMPLETED_NV
#define GL_ALL_COMPLETED_NV 0x84F2
#endif

FakeNvPlatform::~FakeNvPlatform() {
  for (auto& grant : granted) std::free(grant.first);
}

void FakeNvPlatform::RefuseAbove(GLsizei largestGranted) {
  rule = GrantRule::kUpToSize;
  largestGrant = largestGranted;
}

bool FakeNvPlatform::Grants(GLsizei size, GLfloat priority) const {
  switch (rule) {
    case GrantRule::kEverything:
      return true;
    case GrantRule::kUpToSize:
      return size <= largestGrant;
    case GrantRule::kAgpOnly:
      return priority < 1.0f;
    case GrantRule::kNothing:
      return false;
  }
  return false;
}

void* FakeNvPlatform::AllocateMemory(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency,
                                     GLfloat priority) {
  const bool grant = size > 0 && Grants(size, priority);
  allocations.push_back({size, readFrequency, writeFrequency, priority, grant});
  if (!grant) return nullptr;
  void* memory = std::malloc(static_cast<size_t>(size));
  if (memory != nullptr) granted.emplace_back(memory, static_cast<size_t>(size));
  return memory;
}

void FakeNvPlatform::FreeMemory(void* pointer) {
  auto found = std::find_if(granted.begin(), granted.end(), [&](const auto& g) { return g.first == pointer; });
  if (found == granted.end()) {
    ++misuses;
    return;
  }
  std::free(found->first);
  granted.erase(found);
}

size_t FakeNvPlatform::GrantedBytes(const void* pointer) const {
  for (const auto& grant : granted)
    if (grant.first == pointer) return grant.second;
  return 0;
}

void FakeNvPlatform::GenFences(GLsizei count, GLuint* fences) {
  for (GLsizei i = 0; i < count; ++i) {
    fences[i] = ++fencesGenerated;
    liveFences.insert(fences[i]);
  }
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

void FakeNvPlatform::CompleteFencesThrough(GLuint fence) { completedThrough = std::max(completedThrough, fence); }

bool FakeNvPlatform::FenceComplete(GLuint fence) const {
  if (fence <= completedThrough) return true;
  return fenceLag != kNever && fence + static_cast<GLuint>(fenceLag) <= lastFenceSet;
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

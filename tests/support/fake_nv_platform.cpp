#include "support/fake_nv_platform.h"

#include <algorithm>
#include <cstdlib>

#ifndef GL_ALL_COMPLETED_NV
#define GL_ALL_COMPLETED_NV 0x84F2
#endif

FakeNvPlatform::~FakeNvPlatform() {
  for (auto& grant : granted) std::free(grant.first);
}

void FakeNvPlatform::Reset() {
  for (auto& grant : granted) std::free(grant.first);
  granted.clear();
  rule = GrantRule::kEverything;
  largestGrant = 0;
  fenceLag = 0;
  fencesGenerated = 0;
  lastFenceSet = 0;
  completedThrough = 0;
  liveFences.clear();
  settledFences.clear();
  allocations.clear();
  frees.clear();
  rangeCalls.clear();
  rangeEnables.clear();
  fencesSet.clear();
  fencesTested.clear();
  fencesFinished.clear();
  fencesDeleted.clear();
  misuses = 0;
}

void FakeNvPlatform::GrantEverything() { rule = GrantRule::kEverything; }

void FakeNvPlatform::RefuseAbove(GLsizei largestGranted) {
  rule = GrantRule::kUpToSize;
  largestGrant = largestGranted;
}

void FakeNvPlatform::RefuseVideoMemory() { rule = GrantRule::kAgpOnly; }

void FakeNvPlatform::RefuseEverything() { rule = GrantRule::kNothing; }

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
  if (memory == nullptr) return nullptr;
  granted.emplace_back(memory, static_cast<size_t>(size));
  return memory;
}

void FakeNvPlatform::FreeMemory(void* pointer) {
  frees.push_back(pointer);
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

void FakeNvPlatform::VertexArrayRange(GLsizei size, const void* pointer) { rangeCalls.push_back({size, pointer}); }

void FakeNvPlatform::EnableVertexArrayRange(bool enable) { rangeEnables.push_back(enable); }

void FakeNvPlatform::GenFences(GLsizei count, GLuint* fences) {
  for (GLsizei i = 0; i < count; ++i) {
    fences[i] = ++fencesGenerated;
    liveFences.insert(fences[i]);
  }
}

bool FakeNvPlatform::FenceInUse(GLuint fence) const { return liveFences.count(fence) != 0; }

void FakeNvPlatform::SetFence(GLuint fence, GLenum condition) {
  fencesSet.push_back(fence);
  if (!FenceInUse(fence) || condition != GL_ALL_COMPLETED_NV) {
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
  fencesTested.push_back(fence);
  if (!FenceInUse(fence) || settledFences.count(fence) == 0) ++misuses;
  return FenceComplete(fence) ? GL_TRUE : GL_FALSE;
}

void FakeNvPlatform::FinishFence(GLuint fence) {
  fencesFinished.push_back(fence);
  if (!FenceInUse(fence) || settledFences.count(fence) == 0) ++misuses;
  CompleteFencesThrough(fence);
}

void FakeNvPlatform::DeleteFences(GLsizei count, const GLuint* fences) {
  for (GLsizei i = 0; i < count; ++i) {
    fencesDeleted.push_back(fences[i]);
    if (liveFences.erase(fences[i]) == 0) ++misuses;
    settledFences.erase(fences[i]);
  }
}

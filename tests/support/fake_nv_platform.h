#pragma once
#include <GL/gl.h>

#include <cstddef>
#include <set>
#include <utility>
#include <vector>

#include "app/nv_platform.h"

// A stand-in for the NV driver entry points. Its allocator hands out ordinary heap memory
// (which Mesa then reads as client arrays) under a scripted grant rule; its fences complete
// when the test says so; it records every call. Fence names are 1, 2, 3, ... in the order
// generated; fences complete in the order they were set, as on the GPU.
class FakeNvPlatform : public NvPlatform {
 public:
  struct AllocationRequest {
    GLsizei size;
    GLfloat readFrequency;
    GLfloat writeFrequency;
    GLfloat priority;
    bool granted;
  };
  struct RangeCall {
    GLsizei size;
    const void* pointer;
  };

  FakeNvPlatform() = default;
  ~FakeNvPlatform() override;
  FakeNvPlatform(const FakeNvPlatform&) = delete;
  FakeNvPlatform& operator=(const FakeNvPlatform&) = delete;

  // Back to the initial script (grant everything, fences complete at once) with empty records;
  // memory still granted is freed.
  void Reset();

  // Grant rules.
  void GrantEverything();
  void RefuseAbove(GLsizei largestGranted);
  void RefuseVideoMemory();  // priority 1.0 refused, AGP (anything lower) granted
  void RefuseEverything();

  // Fence completion.
  void CompleteFencesAtOnce() { fenceLag = 0; }
  void HoldFences() { fenceLag = kNever; }              // only CompleteFencesThrough or a wait
  void SetFenceLag(int lag) { fenceLag = lag; }         // done once `lag` later fences are set
  void CompleteFencesThrough(GLuint fence);             // fences 1..fence are done
  bool FenceComplete(GLuint fence) const;

  int OutstandingGrants() const { return static_cast<int>(granted.size()); }
  size_t GrantedBytes(const void* pointer) const;

  // NvPlatform.
  void* AllocateMemory(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency, GLfloat priority) override;
  void FreeMemory(void* pointer) override;
  void VertexArrayRange(GLsizei size, const void* pointer) override;
  void EnableVertexArrayRange(bool enable) override;
  void GenFences(GLsizei count, GLuint* fences) override;
  void SetFence(GLuint fence, GLenum condition) override;
  GLboolean TestFence(GLuint fence) override;
  void FinishFence(GLuint fence) override;
  void DeleteFences(GLsizei count, const GLuint* fences) override;

  // What was asked.
  std::vector<AllocationRequest> allocations;
  std::vector<const void*> frees;
  std::vector<RangeCall> rangeCalls;
  std::vector<bool> rangeEnables;
  std::vector<GLuint> fencesSet;
  std::vector<GLuint> fencesTested;
  std::vector<GLuint> fencesFinished;
  std::vector<GLuint> fencesDeleted;
  // Calls that a driver would reject: freeing memory it never granted, setting a fence with
  // another condition, using a fence name that is unknown, unset or already deleted.
  int misuses = 0;

 private:
  enum class GrantRule { kEverything, kUpToSize, kAgpOnly, kNothing };
  static constexpr int kNever = -1;

  bool Grants(GLsizei size, GLfloat priority) const;
  bool FenceInUse(GLuint fence) const;

  GrantRule rule = GrantRule::kEverything;
  GLsizei largestGrant = 0;
  int fenceLag = 0;
  GLuint fencesGenerated = 0;
  GLuint lastFenceSet = 0;
  GLuint completedThrough = 0;
  std::set<GLuint> liveFences;   // generated, not deleted
  std::set<GLuint> settledFences;  // set at least once
  std::vector<std::pair<void*, size_t>> granted;
};

// Installs a fake as ActiveNvPlatform for the lifetime of the object.
class ScopedFakeNvPlatform {
 public:
  ScopedFakeNvPlatform() : previous(ActiveNvPlatform) { ActiveNvPlatform = &fake; }
  ~ScopedFakeNvPlatform() { ActiveNvPlatform = previous; }
  ScopedFakeNvPlatform(const ScopedFakeNvPlatform&) = delete;
  ScopedFakeNvPlatform& operator=(const ScopedFakeNvPlatform&) = delete;
  FakeNvPlatform* operator->() { return &fake; }
  FakeNvPlatform& operator*() { return fake; }

 private:
  FakeNvPlatform fake;
  NvPlatform* previous;
};

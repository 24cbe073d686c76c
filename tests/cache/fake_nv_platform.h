#pragma once
#include <GL/gl.h>

#include <cstddef>
#include <set>
#include <utility>
#include <vector>

#include "app/platform/nv_platform.h"

// A stand-in for the NV driver entry points. Its allocator hands out ordinary heap memory (which
// Mesa then reads as client arrays) under a scripted grant rule; its fences complete when the
// test says so; it records every call. Fence names are 1, 2, 3, ... in the order generated, and
// fences complete in the order they were set, as on the GPU.
class FakeNvPlatform final : public NvPlatform {
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

  // Grant rules (the first is the initial one).
  void GrantEverything() { rule = GrantRule::kEverything; }
  void RefuseAbove(GLsizei largestGranted);
  void RefuseVideoMemory() { rule = GrantRule::kAgpOnly; }  // priority 1.0 refused, lower granted
  void RefuseEverything() { rule = GrantRule::kNothing; }

  // Fence completion (at once is the initial rule).
  void CompleteFencesAtOnce() { fenceLag = 0; }
  void HoldFences() { fenceLag = kNever; }       // only CompleteFencesThrough or a wait completes
  void SetFenceLag(int lag) { fenceLag = lag; }  // done once `lag` later fences are set
  void CompleteFencesThrough(GLuint fence);      // fences 1..fence are done
  bool FenceComplete(GLuint fence) const;

  int OutstandingGrants() const { return static_cast<int>(granted.size()); }
  size_t GrantedBytes(const void* pointer) const;

  void* AllocateMemory(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency, GLfloat priority) override;
  void FreeMemory(void* pointer) override;
  void VertexArrayRange(GLsizei size, const void* pointer) override { rangeCalls.push_back({size, pointer}); }
  void EnableVertexArrayRange(bool enable) override { rangeEnables.push_back(enable); }
  void GenFences(GLsizei count, GLuint* fences) override;
  void SetFence(GLuint fence, GLenum condition) override;
  GLboolean TestFence(GLuint fence) override;
  void FinishFence(GLuint fence) override;
  void DeleteFences(GLsizei count, const GLuint* fences) override;

  // What was asked.
  std::vector<AllocationRequest> allocations;
  std::vector<RangeCall> rangeCalls;
  std::vector<bool> rangeEnables;
  std::vector<GLuint> fencesSet;
  std::vector<GLuint> fencesFinished;
  std::vector<GLuint> fencesDeleted;
  // Calls that a driver would reject: freeing memory it never granted, setting a fence with
  // another condition, using a fence name that is unknown, unset or already deleted.
  int misuses = 0;

 private:
  enum class GrantRule { kEverything, kUpToSize, kAgpOnly, kNothing };
  static constexpr int kNever = -1;

  bool Grants(GLsizei size, GLfloat priority) const;
  bool FenceUsable(GLuint fence) const { return liveFences.count(fence) != 0 && settledFences.count(fence) != 0; }

  GrantRule rule = GrantRule::kEverything;
  GLsizei largestGrant = 0;
  int fenceLag = 0;
  GLuint fencesGenerated = 0;
  GLuint lastFenceSet = 0;
  GLuint completedThrough = 0;
  std::set<GLuint> liveFences;     // generated, not deleted
  std::set<GLuint> settledFences;  // set at least once
  std::vector<std::pair<void*, size_t>> granted;
};

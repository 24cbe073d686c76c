#pragma once
#include <GL/gl.h>

#include <algorithm>
#include <functional>
#include <set>
#include <vector>

#include "app/platform/nv_platform.h"

// A stand-in for the NV driver entry points. Its allocator hands out ordinary heap memory (which
// Mesa then reads as client arrays) when the grant rule says so; its fences complete when the test
// says so; it records every call. Fence names are 1, 2, 3, ... in the order generated, and fences
// complete in the order they were set, as on the GPU.
class FakeNvPlatform final : public NvPlatform {
 public:
  struct AllocationRequest {
    GLsizei size;
    GLfloat readFrequency, writeFrequency, priority;
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

  // Which requests are granted (all, to begin with).
  std::function<bool(GLsizei size, GLfloat priority)> grants = [](GLsizei, GLfloat) { return true; };
  void RefuseAbove(GLsizei largest) {
    grants = [largest](GLsizei size, GLfloat) { return size <= largest; };
  }

  // Fence completion: at once (to begin with), only when waited for or completed by the test, or
  // once `lag` later fences are set.
  void HoldFences() { fenceLag = kNever; }
  void SetFenceLag(int lag) { fenceLag = lag; }
  void CompleteFencesThrough(GLuint fence) { completedThrough = std::max(completedThrough, fence); }
  bool FenceComplete(GLuint fence) const {
    return fence <= completedThrough || (fenceLag != kNever && fence + static_cast<GLuint>(fenceLag) <= lastFenceSet);
  }

  int OutstandingGrants() const { return static_cast<int>(granted.size()); }

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
  std::vector<GLuint> fencesSet, fencesFinished, fencesDeleted;
  // Calls that a driver would reject: freeing memory it never granted, setting a fence with
  // another condition, using a fence name that is unknown, unset or already deleted.
  int misuses = 0;

 private:
  static constexpr int kNever = -1;

  bool FenceUsable(GLuint fence) const { return liveFences.count(fence) != 0 && settledFences.count(fence) != 0; }

  int fenceLag = 0;
  GLuint fencesGenerated = 0, lastFenceSet = 0, completedThrough = 0;
  std::set<GLuint> liveFences;     // generated, not deleted
  std::set<GLuint> settledFences;  // set at least once
  std::set<void*> granted;
};

#pragma once
#include <GL/gl.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "app/platform/buffer_storage_platform.h"

// A stand-in for the buffer-storage entry points over the real driver: storage is granted when
// the grant rule says so (else GL_OUT_OF_MEMORY, without asking the driver); fence syncs are the
// driver's, but count as signalled only when the test says so or once waited for; every call is
// recorded. Fences are numbered 1, 2, 3, ... in the order set and complete in that order, as on
// the GPU.
class FakeBufferPlatform final : public BufferStoragePlatform {
 public:
  FakeBufferPlatform();
  ~FakeBufferPlatform() override;
  FakeBufferPlatform(const FakeBufferPlatform&) = delete;
  FakeBufferPlatform& operator=(const FakeBufferPlatform&) = delete;

  // Which storage sizes are granted (all, to begin with).
  std::function<bool(GLsizeiptr size)> grants = [](GLsizeiptr) { return true; };
  void RefuseAbove(GLsizeiptr largest) {
    grants = [largest](GLsizeiptr size) { return size <= largest; };
  }

  // Fence completion: at once (to begin with), only when waited for or completed by the test, or
  // once `lag` later fences are set.
  void HoldFences() { fenceLag = kNever; }
  void SetFenceLag(int lag) { fenceLag = lag; }
  void CompleteFencesThrough(int fence) { completedThrough = std::max(completedThrough, fence); }
  bool FenceComplete(int fence) const {
    return fence <= completedThrough || (fenceLag != kNever && fence + fenceLag <= FencesSet());
  }
  int FencesSet() const { return fencesSet; }

  // Buffers made and not deleted, buffers still mapped, fences set and not deleted.
  int OutstandingBuffers() const { return static_cast<int>(liveBuffers.size()); }
  int MappedBuffers() const { return static_cast<int>(mapped.size()); }
  int OutstandingFences() const { return static_cast<int>(liveFences.size()); }

  GLuint CreateBuffer() override;
  void DeleteBuffer(GLuint buffer) override;
  void BindBuffer(GLenum target, GLuint buffer) override;
  GLenum BufferStorage(GLenum target, GLsizeiptr size, GLbitfield flags) override;
  void* MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) override;
  void UnmapBuffer(GLenum target) override;
  GLsync FenceSync() override;
  GLenum ClientWaitSync(GLsync sync, GLbitfield flags, GLuint64 timeoutNanoseconds) override;
  void DeleteSync(GLsync sync) override;
  void MultiDrawElementsBaseVertex(GLenum mode, const GLsizei* counts, GLenum type, const void* const* offsets,
                                   GLsizei drawCount, const GLint* baseVertices) override;

  struct StorageRequest {
    GLsizeiptr size;
    GLbitfield flags;
    bool granted;
  };
  std::vector<StorageRequest> storageRequests;
  int multiDraws = 0;
  std::vector<GLint> drawnBases;             // the base vertex of every draw issued, in order
  std::vector<std::size_t> drawsBeforeFence;  // drawnBases.size() when each fence was set
  int waits = 0;                              // waits that blocked (a timeout above 0)
  // Calls a driver would reject or a cache must not make: a sync unknown or deleted, storage or
  // mapping of no bound buffer, a draw from no bound buffer, a buffer deleted while mapped.
  int misuses = 0;

 private:
  static constexpr int kNever = -1;

  std::unique_ptr<BufferStoragePlatform> driver_;
  int fenceLag = 0;
  int completedThrough = 0;
  int fencesSet = 0;
  std::map<GLsync, int> liveFences;  // by number (a deleted sync's address may come back)
  std::set<GLuint> liveBuffers;
  std::set<GLuint> mapped;
  std::map<GLenum, GLuint> bound;
};

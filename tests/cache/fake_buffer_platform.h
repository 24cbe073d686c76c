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

// The buffer-storage entry points of the real driver, except that storage is granted only when
// the grant rule says so (else GL_OUT_OF_MEMORY) and fence syncs count as signalled only when the
// test says so or once waited for. Fences are numbered 1, 2, 3, ... in the order set and complete
// in that order, as on the GPU. Calls are recorded; a sync or buffer unknown or deleted counts as
// a misuse.
class FakeBufferPlatform final : public BufferStoragePlatform {
 public:
  FakeBufferPlatform() : driver_(CreateDriverBufferStoragePlatform()) {}
  ~FakeBufferPlatform() override;

  std::function<bool(GLsizeiptr size)> grants = [](GLsizeiptr) { return true; };
  void RefuseAbove(GLsizeiptr largest) {
    grants = [largest](GLsizeiptr size) { return size <= largest; };
  }
  // Fences complete at once (to begin with), only when waited for or completed by the test, or
  // once `lag` later fences are set.
  void HoldFences() { fenceLag = -1; }
  void SetFenceLag(int lag) { fenceLag = lag; }
  void CompleteFencesThrough(int fence) { completedThrough = std::max(completedThrough, fence); }
  bool FenceComplete(int fence) const {
    return fence <= completedThrough || (fenceLag >= 0 && fence + fenceLag <= fencesSet);
  }
  int FencesSet() const { return fencesSet; }
  int OutstandingBuffers() const { return static_cast<int>(liveBuffers.size()); }
  int OutstandingFences() const { return static_cast<int>(liveFences.size()); }

  GLuint CreateBuffer() override;
  void DeleteBuffer(GLuint buffer) override;
  void BindBuffer(GLenum target, GLuint buffer) override { driver_->BindBuffer(target, buffer); }
  GLenum BufferStorage(GLenum target, GLsizeiptr size, GLbitfield flags) override;
  void* MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) override {
    return driver_->MapBufferRange(target, offset, length, access);
  }
  void UnmapBuffer(GLenum target) override { driver_->UnmapBuffer(target); }
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
  std::vector<GLint> drawnBases;              // the base vertex of every draw issued, in order
  std::vector<std::size_t> drawsBeforeFence;  // drawnBases.size() when each fence was set
  int waits = 0;                              // waits that may block
  int misuses = 0;

 private:
  std::unique_ptr<BufferStoragePlatform> driver_;
  int fenceLag = 0;
  int completedThrough = 0;
  int fencesSet = 0;
  std::map<GLsync, int> liveFences;  // by number (a deleted sync's address may come back)
  std::set<GLuint> liveBuffers;
};

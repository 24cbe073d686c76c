#pragma once
#include <GL/gl.h>

#include <memory>

// The entry points of persistently mapped buffer storage, fence sync objects and base-vertex
// multi-draws (GL 4.4, or the ARB extensions GlCapabilities::bufferStorage names), reached only
// through this layer so that tests can replace the driver with a double that refuses storage or
// lets fences signal late.
class BufferStoragePlatform {
 public:
  virtual ~BufferStoragePlatform() = default;
  virtual GLuint CreateBuffer() = 0;
  virtual void DeleteBuffer(GLuint buffer) = 0;
  virtual void BindBuffer(GLenum target, GLuint buffer) = 0;
  // Immutable storage for the buffer bound to target; returns the error the GL raised for it
  // (GL_NO_ERROR when granted, GL_OUT_OF_MEMORY when the driver has no room).
  virtual GLenum BufferStorage(GLenum target, GLsizeiptr size, GLbitfield flags) = 0;
  // The mapping of the buffer bound to target, or null.
  virtual void* MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) = 0;
  virtual void UnmapBuffer(GLenum target) = 0;
  // A fence behind every command issued so far (GL_SYNC_GPU_COMMANDS_COMPLETE).
  virtual GLsync FenceSync() = 0;
  // GL_ALREADY_SIGNALED, GL_CONDITION_SATISFIED, GL_TIMEOUT_EXPIRED or GL_WAIT_FAILED.
  virtual GLenum ClientWaitSync(GLsync sync, GLbitfield flags, GLuint64 timeoutNanoseconds) = 0;
  virtual void DeleteSync(GLsync sync) = 0;
  virtual void MultiDrawElementsBaseVertex(GLenum mode, const GLsizei* counts, GLenum type,
                                           const void* const* offsets, GLsizei drawCount,
                                           const GLint* baseVertices) = 0;
};

// The driver's entry points, loaded by libepoxy; the context must offer them
// (GlCapabilities::BufferStorageCache).
std::unique_ptr<BufferStoragePlatform> CreateDriverBufferStoragePlatform();

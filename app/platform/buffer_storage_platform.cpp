// The only translation unit that calls the buffer-storage entry points: libepoxy resolves them
// for the current context, GLX or EGL alike. Its header must come before any other GL header.
#include <epoxy/gl.h>

#include "app/platform/buffer_storage_platform.h"

namespace {

class DriverBufferStoragePlatform final : public BufferStoragePlatform {
 public:
  GLuint CreateBuffer() override {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    return buffer;
  }
  void DeleteBuffer(GLuint buffer) override { glDeleteBuffers(1, &buffer); }
  void BindBuffer(GLenum target, GLuint buffer) override { glBindBuffer(target, buffer); }
  GLenum BufferStorage(GLenum target, GLsizeiptr size, GLbitfield flags) override {
    // An error left by someone else must not pass for this call's (there are few error flags).
    for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
    }
    glBufferStorage(target, size, nullptr, flags);
    return glGetError();
  }
  void* MapBufferRange(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) override {
    return glMapBufferRange(target, offset, length, access);
  }
  void UnmapBuffer(GLenum target) override { glUnmapBuffer(target); }
  GLsync FenceSync() override { return glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0); }
  GLenum ClientWaitSync(GLsync sync, GLbitfield flags, GLuint64 timeoutNanoseconds) override {
    return glClientWaitSync(sync, flags, timeoutNanoseconds);
  }
  void DeleteSync(GLsync sync) override { glDeleteSync(sync); }
  void MultiDrawElementsBaseVertex(GLenum mode, const GLsizei* counts, GLenum type, const void* const* offsets,
                                   GLsizei drawCount, const GLint* baseVertices) override {
    glMultiDrawElementsBaseVertex(mode, counts, type, offsets, drawCount, baseVertices);
  }
};

}  // namespace

std::unique_ptr<BufferStoragePlatform> CreateDriverBufferStoragePlatform() {
  return std::make_unique<DriverBufferStoragePlatform>();
}

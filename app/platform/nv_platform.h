#pragma once
#include <GL/gl.h>

#include <memory>

// The NV vertex-array-range and fence entry points, reached only through this layer so that
// tests can replace the driver with a double. On GLX the allocator is glXAllocateMemoryNV.
class NvPlatform {
 public:
  virtual ~NvPlatform() = default;
  virtual void* AllocateMemory(GLsizei size, GLfloat readFrequency, GLfloat writeFrequency,
                               GLfloat priority) = 0;
  virtual void FreeMemory(void* pointer) = 0;
  virtual void VertexArrayRange(GLsizei size, const void* pointer) = 0;
  // Enables or disables the GL_VERTEX_ARRAY_RANGE_NV client state.
  virtual void EnableVertexArrayRange(bool enable) = 0;
  virtual void GenFences(GLsizei count, GLuint* fences) = 0;
  virtual void SetFence(GLuint fence, GLenum condition) = 0;
  virtual GLboolean TestFence(GLuint fence) = 0;
  virtual void FinishFence(GLuint fence) = 0;
  virtual void DeleteFences(GLsizei count, const GLuint* fences) = 0;
};

// Fetches the driver's entry points by name (glXGetProcAddress). Either group may be missing;
// the returned object forwards to whatever was found. Not through libepoxy, which loads the other
// entry points beyond GL 1.1: it has no glXAllocateMemoryNV or glXFreeMemoryNV, and it aborts on
// a call of an entry point the driver lacks.
std::unique_ptr<NvPlatform> CreateDriverNvPlatform(bool vertexArrayRange, bool fences);

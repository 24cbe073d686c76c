#include "app/platform/nv_platform.h"

#include <GL/glx.h>

namespace {

#ifndef GL_VERTEX_ARRAY_RANGE_NV
#define GL_VERTEX_ARRAY_RANGE_NV 0x851D
#endif

using AllocateMemoryProc = void* (*)(GLsizei, GLfloat, GLfloat, GLfloat);
using FreeMemoryProc = void (*)(void*);
using VertexArrayRangeProc = void (*)(GLsizei, const void*);
using GenFencesProc = void (*)(GLsizei, GLuint*);
using SetFenceProc = void (*)(GLuint, GLenum);
using TestFenceProc = GLboolean (*)(GLuint);
using FinishFenceProc = void (*)(GLuint);
using DeleteFencesProc = void (*)(GLsizei, const GLuint*);

template <typename Proc>
Proc Fetch(const char* name) {
  return reinterpret_cast<Proc>(glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)));
}

// Forwards to the driver's entry points; an entry point of an absent extension stays null and
// is not called.
class DriverNvPlatform : public NvPlatform {
 public:
  DriverNvPlatform(bool vertexArrayRange, bool fences) {
    if (vertexArrayRange) {
      allocate_ = Fetch<AllocateMemoryProc>("glXAllocateMemoryNV");
      free_ = Fetch<FreeMemoryProc>("glXFreeMemoryNV");
      range_ = Fetch<VertexArrayRangeProc>("glVertexArrayRangeNV");
    }
    if (fences) {
      genFences_ = Fetch<GenFencesProc>("glGenFencesNV");
      setFence_ = Fetch<SetFenceProc>("glSetFenceNV");
      testFence_ = Fetch<TestFenceProc>("glTestFenceNV");
      finishFence_ = Fetch<FinishFenceProc>("glFinishFenceNV");
      deleteFences_ = Fetch<DeleteFencesProc>("glDeleteFencesNV");
    }
  }

  void* AllocateMemory(GLsizei size, GLfloat read, GLfloat write, GLfloat priority) override {
    return allocate_ ? allocate_(size, read, write, priority) : nullptr;
  }
  void FreeMemory(void* pointer) override {
    if (free_ && pointer) free_(pointer);
  }
  void VertexArrayRange(GLsizei size, const void* pointer) override {
    if (range_) range_(size, pointer);
  }
  void EnableVertexArrayRange(bool enable) override {
    if (enable)
      glEnableClientState(GL_VERTEX_ARRAY_RANGE_NV);
    else
      glDisableClientState(GL_VERTEX_ARRAY_RANGE_NV);
  }
  void GenFences(GLsizei count, GLuint* fences) override {
    if (genFences_) genFences_(count, fences);
  }
  void SetFence(GLuint fence, GLenum condition) override {
    if (setFence_) setFence_(fence, condition);
  }
  GLboolean TestFence(GLuint fence) override { return testFence_ ? testFence_(fence) : GL_TRUE; }
  void FinishFence(GLuint fence) override {
    if (finishFence_) finishFence_(fence);
  }
  void DeleteFences(GLsizei count, const GLuint* fences) override {
    if (deleteFences_) deleteFences_(count, fences);
  }

 private:
  AllocateMemoryProc allocate_ = nullptr;
  FreeMemoryProc free_ = nullptr;
  VertexArrayRangeProc range_ = nullptr;
  GenFencesProc genFences_ = nullptr;
  SetFenceProc setFence_ = nullptr;
  TestFenceProc testFence_ = nullptr;
  FinishFenceProc finishFence_ = nullptr;
  DeleteFencesProc deleteFences_ = nullptr;
};

}  // namespace

std::unique_ptr<NvPlatform> CreateDriverNvPlatform(bool vertexArrayRange, bool fences) {
  return std::make_unique<DriverNvPlatform>(vertexArrayRange, fences);
}

#include "cache_test_fixture.h"

#include <GL/gl.h>

#include <cstdlib>

void* ScriptedAllocator::Allocate(size_t bytes) {
  if (refuseAfter_ == kAlways || refuseAfter_ == 0) {
    if (refuseAfter_ == 0) refuseAfter_ = kNever;
    ++refusals;
    return nullptr;
  }
  if (refuseAfter_ > 0) --refuseAfter_;
  return std::malloc(bytes);
}

void CacheGLTest::SetUp() {
  GLTest::SetUp();
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
}

void CacheGLTest::TearDown() {
  EXPECT_EQ(env.nv.misuses, 0) << "the cache used the NV entry points wrongly";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  glPopClientAttrib();
  glPopAttrib();
}

#pragma once
#include <GL/gl.h>

#include <cstddef>
#include <cstdlib>

#include "app/platform/log_sink.h"
#include "cache/cache_storage.h"
#include "fake_buffer_platform.h"
#include "fake_nv_platform.h"
#include "support/gl_context.h"

// The cache allocator of a test: malloc, except for the requests it is told to refuse.
class ScriptedAllocator {
 public:
  // An allocator that follows this script (which must outlive the cache that uses it).
  CacheStorage::Allocator Make() {
    return [this](size_t bytes) -> void* {
      const bool refuse = refuseAfter_ == kAlways || refuseAfter_ == 0;
      if (refuseAfter_ >= 0) --refuseAfter_;  // a single refusal is used up
      if (!refuse) return std::malloc(bytes);
      ++refusals;
      return nullptr;
    };
  }
  void GrantAll() { refuseAfter_ = kNever; }
  void RefuseAll() { refuseAfter_ = kAlways; }
  // The request after `grants` more granted ones is refused; the ones after it are granted.
  void RefuseOneAfter(int grants) { refuseAfter_ = grants; }

  long refusals = 0;

 private:
  static constexpr int kNever = -1;
  static constexpr int kAlways = -2;
  int refuseAfter_ = kNever;
};

// What a cache under test is made with: the NV and buffer-storage doubles, a log, an allocator.
struct CacheEnvironment {
  FakeNvPlatform nv;
  FakeBufferPlatform buffers;
  BufferLogSink log;
  ScriptedAllocator allocator;
};

// A GL test with a cache environment. The GL state is put back after the test, which fails if a
// double saw a call a driver would reject or the GL reports an error.
class CacheGLTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  }
  void TearDown() override {
    EXPECT_EQ(env.nv.misuses, 0) << "the cache used the NV entry points wrongly";
    EXPECT_EQ(env.buffers.misuses, 0) << "the cache used the buffer-storage entry points wrongly";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glPopClientAttrib();
    glPopAttrib();
  }

  CacheEnvironment env;
};

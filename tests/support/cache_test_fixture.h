#pragma once
#include <cstdio>
#include <string>

#include "support/fake_nv_platform.h"
#include "support/gl_context.h"

// A GL test with the Terrain log on a temporary file, a fake NV platform installed, the cache
// allocator reset, and death tests that re-run the test in a fresh process (the EGL context
// owns threads, so forking the current process is unsafe).
class CacheGLTest : public GLTest {
 protected:
  CacheGLTest();
  void SetUp() override;
  void TearDown() override;

  // Everything written to the Terrain log so far.
  std::string LogText();

  ScopedFakeNvPlatform nv;
  long storageBefore = 0;

 private:
  FILE* previousLog = nullptr;
};

// Statement prefix for death tests: standard output and the Terrain log both go to the
// standard error stream, which EXPECT_EXIT matches.
void SendOutputToStderr();

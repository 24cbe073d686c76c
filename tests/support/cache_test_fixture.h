#pragma once
#include "support/death_output.h"
#include "support/fake_nv_platform.h"
#include "support/gl_context.h"
#include "support/terrain_log_capture.h"

// A GL test with the Terrain log on a temporary file (ReadTerrainLog), a fake NV platform
// installed, the cache allocator reset, and death tests that re-run the test in a fresh process
// (the EGL context owns threads, so forking the current process is unsafe).
class CacheGLTest : public GLTest {
 protected:
  CacheGLTest();
  void SetUp() override;
  void TearDown() override;

  ScopedFakeNvPlatform nv;
  long storageBefore = 0;
};

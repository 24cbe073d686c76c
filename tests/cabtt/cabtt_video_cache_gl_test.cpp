// CABTT with its cached activation: the video-memory cache on the NV double, drawing the real
// default terrain exactly as the system-memory cache does, and giving its range back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "app/frame_loop.h"
#include "app/gl_state.h"
#include "cabtt/cabtt_controls.h"
#include "cache/video_memory_cache.h"
#include "support/fake_nv_platform.h"
#include "support/gl_context.h"
#include "support/terrain_log_capture.h"
#include "support/terrain_scene.h"

namespace {

class CabttVideoCacheTest : public GLTest {
 protected:
  static void TearDownTestSuite() { UnloadTerrainScene(); }

  void SetUp() override {
    GLTest::SetUp();
    LoadTerrainScene(DEFAULT_TERRAIN);
  }
  void TearDown() override {
    UseDrawMethod(-1);
    DrawMethods[kCabttMethod] = CabttDrawMethod(false);
  }

  // Frames of every survey view, drawn by whatever CABTT activation is in the table.
  std::vector<FrameImage> FlyTheSurvey() {
    std::vector<FrameImage> frames;
    for (const Viewpoint& view : SurveyViewpoints()) {
      PlaceCamera(view);
      frames.push_back(RenderFrame());
      frames.push_back(RenderFrame());  // the same view again, from the cached blocks
    }
    return frames;
  }
};

TEST_F(CabttVideoCacheTest, CachedActivationDrawsWhatTheSystemMemoryCacheDraws) {
  UseDrawMethod(kCabttMethod);
  const std::vector<FrameImage> expected = FlyTheSurvey();
  UseDrawMethod(-1);

  ScopedFakeNvPlatform nv;
  nv->SetFenceLag(2);  // the GPU finishes two intervals late
  DrawMethods[kCabttMethod] = CabttDrawMethod(true);
  CaptureTerrainLog();
  testing::internal::CaptureStdout();
  SetDrawMethod(kCabttMethod);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("nVidia Caching enabled\nUsing CABTT drawing method\n", 0), 0u) << out;
  ASSERT_NE(dynamic_cast<VideoMemoryCache*>(ActiveCache), nullptr);

  const std::vector<FrameImage> frames = FlyTheSurvey();
  ASSERT_EQ(frames.size(), expected.size());
  for (size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(frames[i].rgb == expected[i].rgb) << "frame " << i;
  EXPECT_FALSE(nv->fencesSet.empty());

  UseDrawMethod(-1);
  const std::string log = ReadTerrainLog();
  EXPECT_NE(log.find("nVidia Caching enabled\nUsing CABTT drawing method\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Successfully got "), std::string::npos) << log;
  EXPECT_NE(log.find("Actually used "), std::string::npos) << log;
  EXPECT_EQ(nv->OutstandingGrants(), 0) << "the range is given back at deactivation";
  EXPECT_EQ(nv->misuses, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace

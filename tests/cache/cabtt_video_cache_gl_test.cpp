// CABTT on the video-memory cache through the NV double: the real default terrain drawn exactly
// as on the system-memory cache, frame by frame, and the range given back at deactivation.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cabtt/cabtt_method.h"
#include "cache/counting_cache.h"
#include "cache/video_memory_cache.h"
#include "fake_nv_platform.h"
#include "support/frame_analysis.h"
#include "support/terrain_scene.h"

namespace {

// Every survey view twice: built, then redrawn from the cached blocks. Each flight starts from the
// same view, so that both methods refine along the same path.
std::vector<FrameImage> FlyTheSurvey(TerrainScene& scene, DrawMethod* method) {
  scene.Place(SurveyViewpoints().front());
  scene.Use(method);
  std::vector<FrameImage> frames;
  for (const Viewpoint& view : SurveyViewpoints()) {
    scene.Place(view);
    frames.push_back(scene.Render());
    frames.push_back(scene.Render());
  }
  return frames;
}

TEST(CabttVideoCacheTest, DrawsEveryFrameAsTheSystemMemoryCacheDoesAndGivesTheRangeBack) {
  TerrainScene scene(DEFAULT_TERRAIN);
  const std::vector<FrameImage> expected = FlyTheSurvey(scene, &scene.cabtt());
  const int64_t blocksBuilt = scene.cache()->blocksBuilt;
  scene.Use(nullptr);

  FakeNvPlatform nv;
  nv.SetFenceLag(2);  // the GPU finishes two intervals late
  BufferLogSink log;
  CountingCache* counted = nullptr;
  const CacheSource videoCaches{CacheKind::kVideoMemory, [&] {
                                  auto cache =
                                      std::make_unique<CountingCache>(std::make_unique<VideoMemoryCache>(nv, log));
                                  counted = cache.get();
                                  return std::unique_ptr<GeometryCache>(std::move(cache));
                                }};
  CabttMethod cabtt(scene.terrain(), videoCaches, log);
  const std::vector<FrameImage> frames = FlyTheSurvey(scene, &cabtt);
  EXPECT_EQ(log.console.rfind("nVidia Caching enabled\nUsing CABTT drawing method\n", 0), 0u) << log.console;
  EXPECT_EQ(log.log.rfind("nVidia Caching enabled\nUsing CABTT drawing method\n", 0), 0u) << log.log;
  EXPECT_NE(log.log.find("Successfully got "), std::string::npos) << log.log;

  ASSERT_EQ(frames.size(), expected.size());
  for (size_t i = 0; i < frames.size(); ++i)
    EXPECT_EQ(CountDifferentPixels(frames[i], expected[i]), 0) << "frame " << i;
  ASSERT_NE(counted, nullptr);
  EXPECT_EQ(counted->blocksBuilt, blocksBuilt);
  EXPECT_FALSE(nv.fencesSet.empty()) << "the flight closed no interval: recycling went untested";

  scene.Use(nullptr);
  EXPECT_NE(log.log.find("Actually used "), std::string::npos) << log.log;
  EXPECT_EQ(nv.OutstandingGrants(), 0) << "the range is given back at deactivation";
  EXPECT_EQ(nv.misuses, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace

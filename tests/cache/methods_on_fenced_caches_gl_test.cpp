// Both drawing methods on the caches of GL memory, through their doubles with fences signalling
// late: the real default terrain drawn exactly as on the system-memory cache, frame by frame and
// in every wireframe mode, the same blocks built, and the storage given back at deactivation.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cabtt/cabtt_method.h"
#include "cache/buffer_storage_cache.h"
#include "cache/counting_cache.h"
#include "cache/video_memory_cache.h"
#include "fake_buffer_platform.h"
#include "fake_nv_platform.h"
#include "roam/roam_method.h"
#include "support/frame_analysis.h"
#include "support/terrain_scene.h"

namespace {

// Every survey view twice (built, then redrawn from the cached blocks), the wireframe mode
// changing from view to view. Each flight starts from the same view, so that every method refines
// along the same path.
std::vector<FrameImage> FlyTheSurvey(TerrainScene& scene, DrawMethod* method) {
  scene.Place(SurveyViewpoints().front());
  scene.Use(method);
  std::vector<FrameImage> frames;
  int mode = 0;
  for (const Viewpoint& view : SurveyViewpoints()) {
    scene.view().wireframeMode = mode++ % 4;
    scene.Place(view);
    frames.push_back(scene.Render());
    frames.push_back(scene.Render());
  }
  scene.view().wireframeMode = 0;
  return frames;
}

struct Reference {
  std::vector<FrameImage> frames;
  int64_t blocksBuilt = 0;
};

// The methods on the system-memory cache, once per test process.
const Reference& SystemMemoryFrames(TerrainScene& scene, bool cabtt) {
  static Reference references[2];
  Reference& reference = references[cabtt];
  if (reference.frames.empty()) {
    reference.frames = FlyTheSurvey(scene, cabtt ? static_cast<DrawMethod*>(&scene.cabtt()) : &scene.roam());
    reference.blocksBuilt = scene.cache()->blocksBuilt;
    scene.Use(nullptr);
  }
  return reference;
}

struct FencedCase {
  const char* name;
  bool cabtt;
  bool buffer;  // else the video-memory cache
};

void PrintTo(const FencedCase& c, std::ostream* out) { *out << c.name; }

class MethodsOnFencedCachesTest : public ::testing::TestWithParam<FencedCase> {};

TEST_P(MethodsOnFencedCachesTest, DrawEveryFrameAsTheSystemMemoryCacheDoesAndGiveTheStorageBack) {
  const FencedCase& c = GetParam();
  TerrainScene scene(DEFAULT_TERRAIN);
  const Reference& expected = SystemMemoryFrames(scene, c.cabtt);

  FakeNvPlatform nv;
  FakeBufferPlatform buffers;
  nv.SetFenceLag(2);  // the GPU finishes two intervals late
  buffers.SetFenceLag(2);
  BufferLogSink log;
  CountingCache* counted = nullptr;
  const CacheSource caches{c.buffer ? CacheKind::kBufferStorage : CacheKind::kVideoMemory, [&] {
                             std::unique_ptr<GeometryCache> inner;
                             if (c.buffer)
                               inner = std::make_unique<BufferStorageCache>(buffers, log);
                             else
                               inner = std::make_unique<VideoMemoryCache>(nv, log);
                             auto cache = std::make_unique<CountingCache>(std::move(inner));
                             counted = cache.get();
                             return std::unique_ptr<GeometryCache>(std::move(cache));
                           }};
  std::unique_ptr<DrawMethod> method;
  if (c.cabtt)
    method = std::make_unique<CabttMethod>(scene.terrain(), caches, log);
  else
    method = std::make_unique<RoamMethod>(scene.terrain(), caches, log);
  const std::vector<FrameImage> frames = FlyTheSurvey(scene, method.get());
  if (c.cabtt) {
    const std::string line = c.buffer ? "GL buffer storage caching enabled\n" : "nVidia Caching enabled\n";
    EXPECT_EQ(log.console.rfind(line + "Using CABTT drawing method\n", 0), 0u) << log.console;
    EXPECT_EQ(log.log.rfind(line + "Using CABTT drawing method\n", 0), 0u) << log.log;
  }
  EXPECT_NE(log.log.find("Successfully got "), std::string::npos) << log.log;

  ASSERT_EQ(frames.size(), expected.frames.size());
  for (size_t i = 0; i < frames.size(); ++i)
    EXPECT_EQ(CountDifferentPixels(frames[i], expected.frames[i]), 0) << "frame " << i;
  ASSERT_NE(counted, nullptr);
  EXPECT_EQ(counted->blocksBuilt, expected.blocksBuilt);
  EXPECT_GT(c.buffer ? buffers.FencesSet() : static_cast<int>(nv.fencesSet.size()), 0)
      << "the flight closed no interval: recycling went untested";
  if (c.buffer) {
    EXPECT_LT(counted->Traffic().drawCalls, (counted->blocksBuilt + counted->blocksRedrawn) / 4)
        << "held draws are issued together";
  }

  scene.Use(nullptr);
  EXPECT_NE(log.log.find("Actually used "), std::string::npos) << log.log;
  EXPECT_EQ(nv.OutstandingGrants(), 0) << "the range is given back at deactivation";
  EXPECT_EQ(buffers.OutstandingBuffers(), 0) << "the buffer is given back at deactivation";
  EXPECT_EQ(buffers.OutstandingFences(), 0);
  EXPECT_EQ(nv.misuses + buffers.misuses, 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(BothMethods, MethodsOnFencedCachesTest,
                         ::testing::Values(FencedCase{"CabttOnVideoMemory", true, false},
                                           FencedCase{"CabttOnBufferStorage", true, true},
                                           FencedCase{"RoamOnVideoMemory", false, false},
                                           FencedCase{"RoamOnBufferStorage", false, true}),
                         [](const ::testing::TestParamInfo<FencedCase>& info) { return info.param.name; });

}  // namespace

// CABTT drawing the real default terrain as the window draws it, at several aggregation levels
// with both builders: no cracks, cached redraws that draw exactly what the building frame drew,
// and pictures close to Standard ROAM's from the same views.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/frame_analysis.h"
#include "support/gl_context.h"
#include "support/terrain_scene.h"

namespace {

struct Aggregation {
  int level;
  bool adaptive;
};

std::string Describe(const Aggregation& a) { return "level " + std::to_string(a.level) + (a.adaptive ? " adaptive" : " uniform"); }

class CabttTerrainTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    scene_ = std::make_unique<TerrainScene>(DEFAULT_TERRAIN);
    scene_->Use(&scene_->cabtt());
  }
  void TearDown() override { scene_.reset(); }

  std::unique_ptr<TerrainScene> scene_;
};

TEST_F(CabttTerrainTest, NoCrackFromAnyViewpointAtAnyLevelWithEitherBuilder) {
  for (int level = 2; level <= 5; ++level) {
    for (bool adaptive : {false, true}) {
      SCOPED_TRACE(Describe({level, adaptive}));
      scene_->UseAggregation(level, adaptive);
      for (const Viewpoint& view : SurveyViewpoints()) {
        SCOPED_TRACE(testing::Message() << "view at " << view.x << ", " << view.y);
        scene_->Place(view);
        EXPECT_EQ(CountCrackPixels(scene_->Render(), kSkyRgb), 0);
      }
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The check must see a crack where blocks meet: sink the first vertex of every block (a corner,
// shared with the neighbouring blocks) a little.
TEST_F(CabttTerrainTest, TheCrackCheckSeesASunkenBlockCorner) {
  for (bool adaptive : {false, true}) {
    scene_->UseAggregation(3, adaptive);
    EXPECT_GE(SurveyViewsCrackedBySunkenBlockVertices(*scene_), 1) << (adaptive ? "adaptive" : "uniform");
  }
}

// A frame after a move builds the blocks of new leaves and redraws the rest; the same view drawn
// again changes nothing in the tree, so every leaf comes from the cache, and the picture must be
// the same to the last bit.
TEST_F(CabttTerrainTest, ACachedRedrawDrawsExactlyWhatTheBuildingFrameDrew) {
  for (const Aggregation& aggregation : {Aggregation{3, false}, Aggregation{3, true}, Aggregation{5, false},
                                         Aggregation{5, true}}) {
    SCOPED_TRACE(Describe(aggregation));
    scene_->UseAggregation(aggregation.level, aggregation.adaptive);
    Viewpoint view = SurveyViewpoints()[0];
    for (int step = 0; step < 4; ++step) {
      scene_->Place(view);
      scene_->Render();
      view.x += 0.01f;
      view.heading += 0.05f;
    }
    scene_->Place(view);
    CountingCache& cache = *scene_->cache();
    MethodCounters& counters = scene_->cabtt().Counters();
    const int64_t builtBefore = cache.blocksBuilt;
    const int64_t redrawnBefore = cache.blocksRedrawn;
    counters = {};
    const FrameImage building = scene_->Render();
    const int64_t built = cache.blocksBuilt - builtBefore;
    const int64_t redrawn = cache.blocksRedrawn - redrawnBefore;
    const uint64_t leavesDrawn = counters.aggregateTrianglesDrawn;
    EXPECT_GT(built, 0);
    EXPECT_GT(redrawn, 0);
    EXPECT_EQ(static_cast<uint64_t>(built + redrawn), leavesDrawn);

    counters = {};
    const FrameImage cached = scene_->Render();
    EXPECT_EQ(cache.blocksBuilt - builtBefore, built) << "no block may be built again";
    EXPECT_EQ(cache.blocksRedrawn - redrawnBefore - redrawn, built + redrawn);
    EXPECT_EQ(counters.aggregateTrianglesDrawn, leavesDrawn);
    EXPECT_EQ(counters.splits + counters.merges, 0u);
    EXPECT_EQ(CountDifferentPixels(building, cached), 0);
  }
}

// Both methods approximate the same surface within their error bounds and show the same texture,
// so from the same view their pictures differ only along edges and silhouettes.
TEST_F(CabttTerrainTest, PicturesAreCloseToStandardRoamsFromTheSameView) {
  constexpr int kThreshold = 8;
  const std::vector<Viewpoint>& views = SurveyViewpoints();
  std::vector<FrameImage> roam;
  scene_->Use(&scene_->roam());
  for (const Viewpoint& view : views) {
    scene_->Place(view);
    roam.push_back(scene_->Render());
  }
  scene_->Use(&scene_->cabtt());
  for (const Aggregation& aggregation : {Aggregation{2, true}, Aggregation{4, false}, Aggregation{4, true},
                                         Aggregation{5, true}}) {
    SCOPED_TRACE(Describe(aggregation));
    scene_->UseAggregation(aggregation.level, aggregation.adaptive);
    double share = 0;
    double terrainShare = 0;
    double worstTerrainShare = 0;
    for (size_t i = 0; i < views.size(); ++i) {
      scene_->Place(views[i]);
      const GreenDifference d = CompareGreen(roam[i], scene_->Render(), kThreshold, kSkyRgb);
      EXPECT_LT(d.shareAbove, 0.2) << "view " << i;
      EXPECT_LT(d.terrainShareAbove, 0.3) << "view " << i;
      share += d.shareAbove / static_cast<double>(views.size());
      terrainShare += d.terrainShareAbove / static_cast<double>(views.size());
      worstTerrainShare = std::max(worstTerrainShare, d.terrainShareAbove);
    }
    char figures[160];
    std::snprintf(figures, sizeof figures,
                  "%.2f%% of pixels differ by more than %d (%.2f%% of terrain pixels, %.2f%% in the worst view)",
                  100.0 * share, kThreshold, 100.0 * terrainShare, 100.0 * worstTerrainShare);
    RecordProperty("roam_difference_" + std::to_string(aggregation.level) + (aggregation.adaptive ? "a" : "u"),
                   figures);
  }
}

}  // namespace

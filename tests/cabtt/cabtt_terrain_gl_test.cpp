// CABTT drawing the real default terrain through the program's own frame, at several aggregation
// levels with both builders: no cracks, cached redraws that draw exactly what the building frame
// drew, and pictures close to Standard ROAM's from the same view.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "cabtt/cabtt_state.h"
#include "cache/counting_cache.h"
#include "support/frame_analysis.h"
#include "support/gl_context.h"
#include "support/terrain_scene.h"

namespace {

struct Aggregation {
  int level;
  bool adaptive;
};

std::string Describe(const Aggregation& a) {
  return "level " + std::to_string(a.level) + (a.adaptive ? " adaptive" : " uniform");
}

class CabttTerrainTest : public GLTest {
 protected:
  static void TearDownTestSuite() { UnloadTerrainScene(); }

  void SetUp() override {
    GLTest::SetUp();
    LoadTerrainScene(DEFAULT_TERRAIN);
    UseDrawMethod(kCabttMethod);
  }
  void TearDown() override { UseDrawMethod(-1); }
};

TEST_F(CabttTerrainTest, NoCrackFromAnyViewpointAtAnyLevelWithEitherBuilder) {
  for (int level = 2; level <= 5; ++level) {
    for (bool adaptive : {false, true}) {
      const Aggregation aggregation{level, adaptive};
      SCOPED_TRACE(Describe(aggregation));
      UseAggregation(level, adaptive);
      for (const Viewpoint& view : SurveyViewpoints()) {
        SCOPED_TRACE(testing::Message() << "view at " << view.x << ", " << view.y);
        PlaceCamera(view);
        EXPECT_EQ(CountCrackPixels(RenderFrame(), kSkyRgb), 0);
      }
    }
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The check must see a crack where blocks meet: sink the first corner of every block (always a
// border vertex, shared with the neighbouring blocks) a little.
TEST_F(CabttTerrainTest, TheCrackCheckSeesASunkenBlockCorner) {
  UseAggregation(3, true);
  EXPECT_GE(SurveyViewsCrackedBySunkenBlockVertices(), 1);
}

// A frame after a move builds the blocks of new leaves and redraws the rest; the same view drawn
// again changes nothing in the tree, so every leaf comes from the cache, and the picture must be
// the same to the last bit.
TEST_F(CabttTerrainTest, ACachedRedrawDrawsExactlyWhatTheBuildingFrameDrew) {
  for (const Aggregation& aggregation : {Aggregation{3, false}, Aggregation{3, true}, Aggregation{5, false},
                                         Aggregation{5, true}}) {
    SCOPED_TRACE(Describe(aggregation));
    UseAggregation(aggregation.level, aggregation.adaptive);
    Viewpoint view = SurveyViewpoints()[0];
    for (int step = 0; step < 4; ++step) {
      PlaceCamera(view);
      RenderFrame();
      view.x += 0.01f;
      view.heading += 0.05f;
    }
    PlaceCamera(view);
    CountingCache* cache = CountActiveCache();
    CabttCounters = {};
    const FrameImage building = RenderFrame();
    const int built = cache->blocksBuilt;
    const int redrawn = cache->blocksRedrawn;
    const uint32_t leavesDrawn = CabttCounters.aggregateTrianglesDrawn;
    EXPECT_GT(built, 0);
    EXPECT_GT(redrawn, 0);
    EXPECT_EQ(static_cast<uint32_t>(built + redrawn), leavesDrawn);

    CabttCounters = {};
    const FrameImage cached = RenderFrame();
    EXPECT_EQ(cache->blocksBuilt, built) << "no block may be built again";
    EXPECT_EQ(cache->blocksRedrawn - redrawn, built + redrawn);
    EXPECT_EQ(CabttCounters.aggregateTrianglesDrawn, leavesDrawn);
    EXPECT_EQ(CabttCounters.splits + CabttCounters.merges, 0u);
    EXPECT_EQ(CountDifferentPixels(building, cached), 0);
  }
}

// Both methods approximate the same surface within their error bounds and show the same
// texture, so from the same view their pictures differ only along edges and silhouettes.
TEST_F(CabttTerrainTest, PicturesAreCloseToStandardRoamsFromTheSameView) {
  constexpr int kThreshold = 8;
  const std::vector<Viewpoint>& views = SurveyViewpoints();
  std::vector<FrameImage> roam;
  UseDrawMethod(kRoamMethod);
  for (const Viewpoint& view : views) {
    PlaceCamera(view);
    roam.push_back(RenderFrame());
  }
  UseDrawMethod(kCabttMethod);
  for (const Aggregation& aggregation : {Aggregation{2, true}, Aggregation{4, false}, Aggregation{4, true},
                                         Aggregation{5, true}}) {
    SCOPED_TRACE(Describe(aggregation));
    UseAggregation(aggregation.level, aggregation.adaptive);
    double share = 0;
    double mean = 0;
    double terrainShare = 0;
    double worstTerrainShare = 0;
    for (size_t i = 0; i < views.size(); ++i) {
      PlaceCamera(views[i]);
      const GreenDifference d = CompareGreen(roam[i], RenderFrame(), kThreshold, kSkyRgb);
      EXPECT_LT(d.shareAbove, 0.2) << "view " << i;
      EXPECT_LT(d.terrainShareAbove, 0.3) << "view " << i;
      share += d.shareAbove / views.size();
      mean += d.meanAbsolute / views.size();
      terrainShare += d.terrainShareAbove / views.size();
      worstTerrainShare = std::max(worstTerrainShare, d.terrainShareAbove);
    }
    char figures[160];
    std::snprintf(figures, sizeof figures,
                  "%.2f%% of pixels differ by more than %d (%.2f%% of terrain pixels, %.2f%% in the worst view), "
                  "mean %.3f",
                  100.0 * share, kThreshold, 100.0 * terrainShare, 100.0 * worstTerrainShare, mean);
    RecordProperty("roam_difference_" + std::to_string(aggregation.level) + (aggregation.adaptive ? "a" : "u"),
                   figures);
    std::cout << "CABTT " << Describe(aggregation) << " against ROAM: " << figures << "\n";
  }
}

}  // namespace

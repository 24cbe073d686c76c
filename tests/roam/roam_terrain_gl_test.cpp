// Standard ROAM drawing the real default terrain through the program's own frame: no cracks from
// a range of viewpoints, and full cover of a flat terrain seen from overhead without culling.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "cache/counting_cache.h"
#include "support/frame_analysis.h"
#include "support/gl_context.h"
#include "support/terrain_scene.h"
#include "terrain/height_field.h"

namespace {

class RoamTerrainTest : public GLTest {
 protected:
  static void TearDownTestSuite() { UnloadTerrainScene(); }

  void SetUp() override {
    GLTest::SetUp();
    LoadTerrainScene(DEFAULT_TERRAIN);
    UseDrawMethod(kRoamMethod);
  }
  void TearDown() override { UseDrawMethod(-1); }
};

int CountBackground(const FrameImage& image, const uint8_t background[3]) {
  int count = 0;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) count += HasColour(image.Pixel(x, y), background);
  }
  return count;
}

TEST_F(RoamTerrainTest, NoCrackFromAnyViewpoint) {
  const int pixels = kSceneWidth * kSceneHeight;
  for (const Viewpoint& view : SurveyViewpoints()) {
    SCOPED_TRACE(testing::Message() << "view at " << view.x << ", " << view.y);
    PlaceCamera(view);
    Stats = {};
    const FrameImage frame = RenderFrame();
    // Both sky and terrain in the picture, so that a crack would have somewhere to show.
    const int sky = CountBackground(frame, kSkyRgb);
    EXPECT_GT(sky, pixels / 20);
    EXPECT_LT(sky, pixels * 9 / 10);
    EXPECT_GT(Stats.triangles, 2000);
    EXPECT_EQ(CountCrackPixels(frame, kSkyRgb), 0);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The crack check is only worth something if it sees cracks: sink the first vertex of every
// block a little (it is shared with neighbouring triangles of other blocks and of its own), and
// gaps must show.
TEST_F(RoamTerrainTest, TheCrackCheckSeesASunkenVertex) {
  EXPECT_GE(SurveyViewsCrackedBySunkenBlockVertices(), 1);
}

// With culling off, every leaf is drawn: a flat terrain seen straight down from camera 2 covers
// its whole square, and nothing lands outside it. The terrain is the default one drawn flat
// (height factor 0), so that the tree is refined around camera 0 as for the real relief and the
// cover comes from many blocks.
TEST_F(RoamTerrainTest, FlatTerrainFromOverheadIsCoveredWithoutCulling) {
  struct Flattened {
    Flattened() : factor(CurrentHeightField->heightFactor) { CurrentHeightField->heightFactor = 0.0f; }
    ~Flattened() { CurrentHeightField->heightFactor = factor; }
    float factor;
  } flattened;
  CullingLevel = 0;
  // Red terrain: the slope shading may hold texels as white as the overhead background.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(1.0f, 0.0f, 0.0f, 1.0f);
  for (const Viewpoint& view : {Viewpoint{0.3f, 0.4f, 0.5f, 0.02f}, Viewpoint{0.9f, 0.85f, 4.0f, 0.005f}}) {
    UseDrawMethod(kRoamMethod);
    PlaceCamera(view);
    RenderFrame();  // camera 0 refines the tree
    SelectCamera(2);
    Stats = {};
    const FrameImage frame = RenderFrame();
    EXPECT_GT(Stats.triangles, 20000);
    const SquareCoverage inner = MeasureSquareCoverage(frame, kOverheadBackgroundRgb, 0.0f, 1.0);
    EXPECT_GT(inner.inside, kSceneWidth * kSceneHeight / 2);
    EXPECT_EQ(inner.uncovered, 0);
    // Beyond a pixel outside the square everything is background.
    const SquareCoverage outer = MeasureSquareCoverage(frame, kOverheadBackgroundRgb, 0.0f, -1.0);
    EXPECT_EQ(kSceneWidth * kSceneHeight - outer.inside,
              CountBackground(frame, kOverheadBackgroundRgb) - outer.uncovered);
    SelectCamera(0);
    UseDrawMethod(-1);
  }
}

}  // namespace

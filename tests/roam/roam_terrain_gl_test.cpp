// Standard ROAM drawing the real default terrain as the window draws it: no cracks from the survey
// viewpoints, and a control that shows the crack check sees them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "support/frame_analysis.h"
#include "support/gl_context.h"
#include "support/terrain_scene.h"

namespace {

int CountBackground(const FrameImage& image, const uint8_t background[3]) {
  int count = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) count += HasColour(image.Pixel(x, y), background);
  return count;
}

TEST(RoamTerrainGLTest, NoCrackFromAnySurveyViewpointUntilASharedVertexSinks) {
  TerrainScene scene(DEFAULT_TERRAIN);
  scene.Use(&scene.roam());
  const int pixels = kSceneWidth * kSceneHeight;
  for (const Viewpoint& view : SurveyViewpoints()) {
    SCOPED_TRACE(testing::Message() << "view at " << view.x << ", " << view.y);
    scene.Place(view);
    scene.stats() = {};
    const FrameImage frame = scene.Render();
    // Both sky and terrain in the picture, so that a crack would have somewhere to show.
    const int sky = CountBackground(frame, kSkyRgb);
    EXPECT_GT(sky, pixels / 20);
    EXPECT_LT(sky, pixels * 9 / 10);
    EXPECT_GT(scene.stats().triangles, 2000);
    EXPECT_EQ(CountCrackPixels(frame, kSkyRgb), 0);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  // The check is only worth something if it sees cracks: sink the first vertex of every block a
  // little (it is shared with neighbouring triangles of other blocks and of its own), and gaps
  // must show.
  EXPECT_GE(SurveyViewsCrackedBySunkenBlockVertices(scene), 1);
}

}  // namespace

// DrawCabtt against a real GL context: wireframe state of each pass, the view it loads, and
// the activation that creates its own cache.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "app/camera.h"
#include "app/terrain_log.h"
#include "cabtt/cabtt_draw.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "support/cabtt_test_fixture.h"
#include "support/gl_context.h"
#include "support/gl_pass_state.h"

namespace {

class CabttGLTest : public CabttTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeTestGLContextCurrent());
    CabttTest::SetUp();
  }

  // Draws one frame in the mode and returns the state at every block drawn.
  std::vector<PassState> DrawInMode(int mode) {
    // Start from the opposite of what the first pass wants.
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(3.0f);
    glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
    glPolygonMode(GL_FRONT, mode == 3 ? GL_FILL : GL_LINE);
    mode == 0 || mode == 1 ? glDisable(GL_TEXTURE_2D) : glEnable(GL_TEXTURE_2D);
    WireframeMode = mode;
    std::vector<PassState> states;
    cache_->onDraw = [&states](BlockHandle, bool) { states.push_back(CurrentPassState()); };
    DrawCabtt();
    cache_->onDraw = nullptr;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return states;
  }
};

constexpr std::array<GLfloat, 4> kBlack = {0, 0, 0, 1};
constexpr std::array<GLfloat, 4> kWhite = {1, 1, 1, 1};

TEST_F(CabttGLTest, EachWireframeModeDrawsItsPassesInItsState) {
  Cameras[0].eye = {0.5f, 0.2f, 0.04f};
  Cameras[0].centre = {0.5f, 1.0f, 0.04f};
  Start(2);
  const std::size_t leaves = DrawInMode(0).size();
  ASSERT_GT(leaves, 4u);
  for (int mode = 0; mode < 4; ++mode) {
    const std::vector<PassState> states = DrawInMode(mode);
    const bool twoPasses = mode == 1 || mode == 2;
    ASSERT_EQ(states.size(), twoPasses ? 2 * leaves : leaves) << "mode " << mode;
    const PassState& first = states.front();
    const PassState& second = states.back();
    EXPECT_FALSE(first.lineSmooth);
    EXPECT_EQ(first.lineWidth, 1.0f);
    switch (mode) {
      case 0:
        EXPECT_TRUE(first.texture);
        EXPECT_EQ(first.frontMode, GL_FILL);
        EXPECT_FALSE(first.lineOffset);
        break;
      // The lines of the second pass are pulled towards the eye (negative offset units), as
      // Standard ROAM does, or the surface drawn first hides them.
      case 1:
        EXPECT_TRUE(first.texture);
        EXPECT_EQ(first.frontMode, GL_FILL);
        EXPECT_TRUE(first.lineOffset);
        EXPECT_EQ(first.colour, kBlack);
        EXPECT_FALSE(second.texture);
        EXPECT_EQ(second.frontMode, GL_LINE);
        EXPECT_TRUE(second.lineOffset);
        EXPECT_EQ(second.offsetFactor, 0.0f);
        EXPECT_EQ(second.offsetUnits, -4.0f);
        break;
      case 2:
        EXPECT_FALSE(first.texture);
        EXPECT_EQ(first.frontMode, GL_FILL);
        EXPECT_TRUE(first.lineOffset);
        EXPECT_EQ(first.colour, kWhite);
        EXPECT_EQ(second.frontMode, GL_LINE);
        EXPECT_EQ(second.colour, kBlack);
        EXPECT_TRUE(second.lineOffset);
        EXPECT_EQ(second.offsetFactor, 0.0f);
        EXPECT_EQ(second.offsetUnits, -4.0f);
        break;
      case 3:
        EXPECT_FALSE(first.texture);
        EXPECT_EQ(first.frontMode, GL_LINE);
        EXPECT_FALSE(first.lineOffset);
        EXPECT_EQ(first.colour, kBlack);
        break;
    }
    // Within a pass the state does not change.
    for (std::size_t i = 0; i < leaves; ++i) EXPECT_EQ(states[i].frontMode, first.frontMode);
  }
}

TEST_F(CabttGLTest, TheViewFollowsTheCurrentCameraWhileRefinementFollowsCameraZero) {
  Cameras[0].eye = {0.3f, 0.3f, 0.05f};
  Cameras[0].centre = {1.1f, 0.3f, 0.05f};
  Start(3);
  CurrentCamera = 2;  // straight down from (0.5, 0.5, 30)
  Cameras[0].eye = {0.35f, 0.3f, 0.05f};
  DrawCabtt();
  EXPECT_EQ(CabttLastEye.x, 0.35f);
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_NEAR(m[12], -0.5f, 1e-5);
  EXPECT_NEAR(m[13], -0.5f, 1e-5);
  EXPECT_NEAR(m[14], -30.0f, 1e-4);
}

TEST_F(CabttGLTest, UncachedActivationAnnouncesItselfAndBuildsTheTree) {
  InstallFakeBuilder(kDefaultAggregationLevel, true);
  CaptureTerrainLog();
  testing::internal::CaptureStdout();
  ActivateCabttUncached();
  const std::string out = testing::internal::GetCapturedStdout();
  cache_ = nullptr;  // replaced by the activation
  EXPECT_EQ(out,
            "Caching disabled\nUsing CABTT drawing method\n< and > change the aggregation level\n"
            "/ toggles adaptive aggregate triangles\n");
  EXPECT_EQ(ReadTerrainLog(), "Caching disabled\nUsing CABTT drawing method\n");
  ASSERT_NE(CabttRoots, nullptr);
  EXPECT_EQ(CabttSplitQueue.Size(), 1u);
  DestroyCabtt();
}

}  // namespace

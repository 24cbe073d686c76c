#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/terrain_log.h"
#include "cache/geometry_cache.h"
#include "roam/roam_draw.h"
#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "support/gl_context.h"
#include "support/gl_pass_state.h"
#include "support/roam_fixture.h"
#include "support/test_terrain.h"
#include "terrain/height_field.h"

namespace {

// Forwards to the cache that activation created and notes the GL state at each EndBlock.
class StateRecordingCache : public GeometryCache {
 public:
  explicit StateRecordingCache(GeometryCache* inner) : inner_(inner) {}
  ~StateRecordingCache() override { delete inner_; }
  void Init(int v, int i) override { inner_->Init(v, i); }
  void Shutdown() override {
    ++shutdowns;
    inner_->Shutdown();
  }
  void BeginBlock(CacheVertex** v, uint16_t** i) override { inner_->BeginBlock(v, i); }
  BlockHandle EndBlock(int vertexCount, int indexCount) override {
    blocks.push_back(CurrentPassState());
    ++unreleased;
    return inner_->EndBlock(vertexCount, indexCount);
  }
  void DrawBlock(BlockHandle h) override { inner_->DrawBlock(h); }
  void ReleaseBlock(BlockHandle h) override {
    --unreleased;
    inner_->ReleaseBlock(h);
  }

  std::vector<PassState> blocks;
  int unreleased = 0;
  int shutdowns = 0;

 private:
  GeometryCache* inner_;
};

class RoamMethodGLTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    InstallRoughTerrain(6, 5, 0.1f);
    ComputeErrorMetric(600.0f);
    CaptureTerrainLog();
    Stats = {};
    const float ground = SampleHeight(0.3f, 0.4f);
    Cameras[0] = {{0.3f, 0.4f, ground + 0.05f}, {1.1f, 0.4f, ground + 0.05f}, 45.0f};
    CurrentCamera = 0;
    CullingLevel = 14;
    WireframeMode = 0;
  }
  void TearDown() override {
    if (RoamRoots != nullptr) DeactivateRoam();
    DestroyGeometryCache();
    CloseTerrainLog();
    RemoveTestTerrain();
    RoamCounters = {};
    Stats = {};
    CurrentCamera = 0;
    CullingLevel = 14;
    WireframeMode = 0;
    glDisable(GL_CULL_FACE);
  }

  StateRecordingCache* ActivateRecording() {
    ActivateRoam();
    auto* recorder = new StateRecordingCache(ActiveCache);
    ActiveCache = recorder;
    return recorder;
  }
};

TEST_F(RoamMethodGLTest, ActivationAnnouncesItselfAndDeactivationGivesEverythingBack) {
  testing::internal::CaptureStdout();
  ActivateRoam();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Using Standard ROAM drawing method\n");
  EXPECT_EQ(ReadTerrainLog(), "Using Standard ROAM drawing method\n");
  ASSERT_NE(ActiveCache, nullptr);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_EQ(RoamTravel, -8.0f);
  EXPECT_EQ(SplitQueue.Size(), 1);
  EXPECT_EQ(RoamPairPool.BlockCount(), 1);
  auto* recorder = new StateRecordingCache(ActiveCache);
  ActiveCache = recorder;
  DrawRoam();
  DeactivateRoam();
  EXPECT_EQ(recorder->shutdowns, 1);
  EXPECT_EQ(recorder->unreleased, 0);
  EXPECT_EQ(RoamRoots, nullptr);
  EXPECT_EQ(RoamPairPool.BlockCount(), 0);
  EXPECT_EQ(SplitQueue.Size(), 0);
  EXPECT_EQ(MergeQueue.Size(), 0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RoamMethodGLTest, EachWireframeModeSetsItsPassStatesAndModes1And2CountTwice) {
  StateRecordingCache* recorder = ActivateRecording();
  DrawRoam();  // settle the mesh; the camera stays still from here on
  double singlePass = 0;
  for (int mode : {0, 1, 2, 3}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    WireframeMode = mode;
    Stats = {};
    recorder->blocks.clear();
    DrawRoam();
    const std::vector<PassState>& blocks = recorder->blocks;
    const bool twoPasses = mode == 1 || mode == 2;
    ASSERT_GE(blocks.size(), 2u);
    if (mode == 0) singlePass = Stats.triangles;
    EXPECT_EQ(Stats.triangles, twoPasses ? 2 * singlePass : singlePass);
    EXPECT_EQ(Stats.bytes, 18.0 * Stats.triangles);
    ASSERT_EQ(blocks.size() % (twoPasses ? 2 : 1), 0u);
    const size_t firstPassBlocks = twoPasses ? blocks.size() / 2 : blocks.size();
    for (size_t i = 0; i < blocks.size(); ++i) {
      const PassState& s = blocks[i];
      const bool second = i >= firstPassBlocks;
      EXPECT_FALSE(s.lineSmooth);
      EXPECT_EQ(s.lineWidth, 1.0f);
      switch (mode) {
        case 0:
          EXPECT_TRUE(s.texture);
          EXPECT_EQ(s.frontMode, GL_FILL);
          EXPECT_FALSE(s.lineOffset);
          EXPECT_EQ(s.offsetFactor, -1.0f);
          EXPECT_EQ(s.offsetUnits, 0.0f);
          break;
        case 1:
          EXPECT_EQ(s.texture, !second);
          EXPECT_EQ(s.frontMode, second ? GL_LINE : GL_FILL);
          EXPECT_TRUE(s.lineOffset);
          EXPECT_EQ(s.offsetFactor, 0.0f);
          EXPECT_EQ(s.offsetUnits, -4.0f);
          EXPECT_EQ(s.colour[0] + s.colour[1] + s.colour[2], 0.0f);
          break;
        case 2:
          EXPECT_FALSE(s.texture);
          EXPECT_EQ(s.frontMode, second ? GL_LINE : GL_FILL);
          EXPECT_TRUE(s.lineOffset);
          EXPECT_EQ(s.offsetUnits, -4.0f);
          EXPECT_EQ(s.colour[0], second ? 0.0f : 1.0f);
          EXPECT_EQ(s.colour[3], 1.0f);
          break;
        case 3:
          EXPECT_FALSE(s.texture);
          EXPECT_EQ(s.frontMode, GL_LINE);
          EXPECT_FALSE(s.lineOffset);
          EXPECT_EQ(s.colour[0] + s.colour[1] + s.colour[2], 0.0f);
          break;
      }
    }
    EXPECT_EQ(recorder->unreleased, 0);
  }
  EXPECT_GT(singlePass, 0.0);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(RoamMethodGLTest, TheModelViewComesFromTheCurrentCamera) {
  ActivateRoam();
  for (int camera : {0, 1, 2}) {
    CurrentCamera = camera;
    DrawRoam();
    GLfloat drawn[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, drawn);
    const CameraView& v = Cameras[camera];
    const Point3& up = CameraUp[camera];
    glLoadIdentity();
    gluLookAt(v.eye.x, v.eye.y, v.eye.z, v.centre.x, v.centre.y, v.centre.z, up.x, up.y, up.z);
    GLfloat expected[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(drawn[i], expected[i]) << "camera " << camera << " element " << i;
  }
}

TEST_F(RoamMethodGLTest, FromAboveTheSurfaceFacesTheViewer) {
  ActivateRoam();
  CullingLevel = 0;
  WireframeMode = 2;
  CurrentCamera = 2;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(Cameras[2].fieldOfView, 640.0 / 480.0, 10.0, 40.0);
  glMatrixMode(GL_MODELVIEW);
  // Back faces are dropped: clockwise triangles would leave the red background showing.
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  DrawRoam();
  glFinish();
  std::vector<unsigned char> pixels(100 * 100 * 4);
  glReadPixels(270, 190, 100, 100, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  int background = 0;
  for (size_t i = 0; i < pixels.size(); i += 4)
    if (pixels[i] == 255 && pixels[i + 1] == 0 && pixels[i + 2] == 0) ++background;
  EXPECT_EQ(background, 0);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
}

}  // namespace

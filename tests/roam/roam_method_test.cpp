// The Standard ROAM method object in a real GL context over a generated terrain, on the recording
// cache: activation and deactivation, counters and statistics, the failures Draw hands back, the
// passes of the wireframe modes and the camera a frame is drawn from.
#include "roam/roam_method.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/view/wireframe.h"
#include "roam_fixture.h"
#include "support/bintree_invariants.h"
#include "support/gl_context.h"
#include "support/gl_pass_state.h"
#include "support/recording_cache.h"

namespace {

void* RefuseEverything(std::size_t) { return nullptr; }

bool operator==(const PassState& a, const PassState& b) {
  return std::tie(a.texture, a.frontMode, a.lineOffset, a.colour, a.offsetFactor, a.offsetUnits, a.lineSmooth,
                  a.lineWidth) == std::tie(b.texture, b.frontMode, b.lineOffset, b.colour, b.offsetFactor,
                                           b.offsetUnits, b.lineSmooth, b.lineWidth);
}

class RoamMethodTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    view_.cullingLevel = 0;  // every leaf drawn
    Place(0.3f, 0.4f, 0.0f, 0.05f);
  }
  void TearDown() override {
    method_.Deactivate();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
  }

  // Camera 0 at (x, y), the clearance above the ground, looking along the heading.
  void Place(float x, float y, float heading, float clearance) {
    view_.flight.x = x;
    view_.flight.y = y;
    view_.flight.heading = heading;
    view_.flight.eyeHeight = terrain_.field.SampleHeight(x, y) + clearance;
    UpdateCameras(view_);
  }
  FrameView Frame() const { return MakeFrameView(view_); }

  void Activate() {
    const Status activated = method_.Activate(Frame());
    ASSERT_TRUE(activated.ok()) << activated.failure().message;
  }
  void Draw() {
    const Status drawn = method_.Draw(Frame(), stats_);
    ASSERT_TRUE(drawn.ok()) << drawn.failure().message;
    ASSERT_TRUE(cache_->faults.empty()) << Describe(cache_->faults);
  }
  std::vector<std::array<VertexId, 3>> Leaves() const {
    std::vector<std::array<VertexId, 3>> leaves;
    for (const auto& leaf : CollectLeaves(method_.tree())) leaves.push_back({leaf.apex, leaf.left, leaf.right});
    return leaves;
  }
  std::string CheckTree() const { return CheckTreeInvariants(method_.tree(), terrain_.field); }

  Terrain terrain_ = RoughTerrain(6, 5);
  BufferLogSink log_;
  RecordingCache* cache_ = nullptr;  // the latest activation's, owned by the method
  int cachesMade_ = 0;
  RoamMethod method_{terrain_,
                     {CacheKind::kSystemMemory,
                      [this] {
                        auto cache = std::make_unique<RecordingCache>();
                        cache_ = cache.get();
                        ++cachesMade_;
                        return std::unique_ptr<GeometryCache>(std::move(cache));
                      }},
                     log_};
  ViewState view_ = StartViewState(0.1f);
  FrameStats stats_;
};

// Deactivation gives back the cache and the tree; the counters live on. Activating again starts
// afresh: the first frame at the first eye makes the first mesh.
TEST_F(RoamMethodTest, DeactivationGivesEverythingBackButTheCounters) {
  Activate();
  EXPECT_EQ(log_.log, "Using Standard ROAM drawing method\n");
  EXPECT_EQ(log_.console, log_.log);
  EXPECT_EQ(cache_->initCalls, 1);
  EXPECT_EQ(CheckTree(), "");
  Draw();
  const auto firstLeaves = Leaves();
  const double firstTriangles = stats_.triangles;
  EXPECT_EQ(firstTriangles, static_cast<double>(firstLeaves.size()));
  EXPECT_EQ(stats_.bytes, 18.0 * firstTriangles);
  for (int frame = 0; frame < 20; ++frame) {
    Place(0.3f + 0.01f * frame, 0.4f, 0.1f * frame, 0.05f);
    Draw();
  }
  method_.Deactivate();
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_TRUE(cache_->live.empty());
  EXPECT_EQ(cache_->blocksBuilt, cache_->blocksReleased);
  EXPECT_FALSE(method_.tree().Started());
  EXPECT_EQ(method_.tree().pool().BlockCount(), 0);
  EXPECT_EQ(method_.tree().splitQueue().Size() + method_.tree().mergeQueue().Size(), 0);
  const MethodCounters counted = method_.Counters();
  EXPECT_GT(counted.splits, 0u);
  EXPECT_GT(counted.merges, 0u);

  Place(0.3f, 0.4f, 0.0f, 0.05f);
  Activate();
  EXPECT_EQ(cachesMade_, 2);
  EXPECT_EQ(method_.Counters().splits, counted.splits);
  EXPECT_EQ(method_.Counters().mergeTests, counted.mergeTests);
  stats_ = {};
  Draw();
  EXPECT_EQ(Leaves(), firstLeaves);
  EXPECT_EQ(stats_.triangles, firstTriangles);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Counters run past 32 bits in hours of flight between two resets.
TEST_F(RoamMethodTest, StatisticsGoToTheLogPerFrame) {
  method_.Counters() = {10, 5, 20'000'000'000, 8, 2};
  BufferLogSink printed;
  FrameStats frames;
  frames.frames = 4;
  method_.PrintStats(printed, frames);
  EXPECT_EQ(printed.log,
            "2.50 merge tests, 1.25 merges, 5000000000.00 split tests, 2.00 splits, 0.50 force splits per frame\n");
  EXPECT_EQ(printed.console, "");
}

// Diamonds the tree believes filed vanish from the merge queue; the next frame that splits a
// child of one finds the entry missing. Draw hands the inconsistency back for an orderly quit,
// which deactivates the method as usual.
TEST_F(RoamMethodTest, AQueueInconsistencyComesBackFromDrawAsAnOrderlyFailure) {
  Activate();
  Draw();
  RoamTree& tree = method_.tree();
  ASSERT_GT(tree.mergeQueue().Size(), 0);
  for (RoamNode* t : FiledIn(tree.mergeQueue())) ASSERT_TRUE(tree.mergeQueue().Remove(t));
  Status drawn;
  for (int frame = 1; frame <= 50 && drawn.ok(); ++frame) {
    Place(0.3f + 0.01f * frame, 0.4f + 0.005f * frame, 0.0f, 0.01f);
    drawn = method_.Draw(Frame(), stats_);
  }
  ASSERT_FALSE(drawn.ok());
  const Failure& failure = drawn.failure();
  EXPECT_EQ(failure.message, "Internal inconsistency: a triangle is missing from the merge queue\n");
  EXPECT_EQ(failure.channel, Channel::kErrorAndLog);
  EXPECT_EQ(failure.exitStatus, 3);
  EXPECT_TRUE(failure.quitOrderly);
  // The method says nothing itself: showing the failure is the program's part.
  EXPECT_EQ(log_.error, "");

  method_.Deactivate();
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_TRUE(cache_->live.empty());
  EXPECT_EQ(tree.pool().BlockCount(), 0);
  Activate();
  Draw();
  EXPECT_EQ(CheckTree(), "");
}

// The pool can get no block for a mesh that needs more than its first: Draw hands back the
// failure, and the tree stays whole (the candidate waits in the queue as it was). So does
// activation without even a first block, and Draw a cache's failure.
TEST_F(RoamMethodTest, APoolThatCannotGrowAndACacheThatCannotGiveComeBackAsFailures) {
  terrain_ = RandomErrorTerrain(8, 3, 1.0f, 10.0f);  // every vertex asks for a split
  Place(0.5f, 0.5f, 0.0f, 0.01f);
  Activate();
  method_.tree().pool().SetAllocator(RefuseEverything);
  Status drawn = method_.Draw(Frame(), stats_);
  ASSERT_FALSE(drawn.ok());
  EXPECT_EQ(drawn.failure().message, Format("Out of memory for %d bintree triangle pairs\n",
                                            PairPool::kFirstBlockPairs + PairPool::kFirstBlockPairs / 2));
  EXPECT_EQ(drawn.failure().channel, Channel::kConsole);
  EXPECT_EQ(drawn.failure().exitStatus, 2);
  EXPECT_FALSE(drawn.failure().quitOrderly);
  EXPECT_EQ(method_.tree().pool().BlockCount(), 1);
  EXPECT_EQ(CheckTree(), "");
  EXPECT_TRUE(cache_->live.empty());

  method_.Deactivate();
  const Status activated = method_.Activate(Frame());
  ASSERT_FALSE(activated.ok());
  EXPECT_EQ(activated.failure().message,
            Format("Out of memory for %d bintree triangle pairs\n", PairPool::kFirstBlockPairs));
  EXPECT_EQ(activated.failure().exitStatus, 2);

  method_.tree().pool().SetAllocator(std::malloc);
  Activate();
  stats_ = {};
  Draw();
  EXPECT_EQ(stats_.triangles, 2.0 * 256 * 256);

  cache_->failBeginBlock = Failure{"Out of memory for a cache block\n", Channel::kLogAndConsole, 2};
  drawn = method_.Draw(Frame(), stats_);
  ASSERT_FALSE(drawn.ok());
  EXPECT_EQ(drawn.failure().message, "Out of memory for a cache block\n");
}

// Modes 1 and 2 draw every block twice, the second time in the state the mode's second pass
// sets; modes 0 and 3 once. Each pass counts its triangles.
TEST_F(RoamMethodTest, EachWireframeModeDrawsItsPassesInTheirStates) {
  Activate();
  Draw();  // settle the mesh; the camera stays still from here on
  std::vector<PassState> blockStates;
  cache_->onDraw = [&blockStates](BlockHandle, bool) { blockStates.push_back(CurrentPassState()); };
  const double leaves = static_cast<double>(Leaves().size());
  for (int mode : {0, 1, 2, 3}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    view_.wireframeMode = mode;
    // The states the passes should be drawn in.
    const PassAction second = BeginFrameState(Frame());
    const PassState firstState = CurrentPassState();
    PassState secondState = firstState;
    if (second != nullptr) {
      second();
      secondState = CurrentPassState();
      EXPECT_EQ(secondState.frontMode, GL_LINE);
    }
    BeginFrameState(MakeFrameView(StartViewState(0.1f)));  // something else in between
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT, GL_POINT);

    stats_ = {};
    blockStates.clear();
    Draw();
    const int passes = second != nullptr ? 2 : 1;
    EXPECT_EQ(stats_.triangles, passes * leaves);
    EXPECT_EQ(stats_.bytes, 18.0 * stats_.triangles);
    ASSERT_GE(blockStates.size(), 2u);
    ASSERT_EQ(blockStates.size() % passes, 0u);
    for (size_t i = 0; i < blockStates.size(); ++i) {
      const bool inSecond = passes == 2 && i >= blockStates.size() / 2;
      EXPECT_TRUE(blockStates[i] == (inSecond ? secondState : firstState)) << "block " << i;
    }
    EXPECT_TRUE(cache_->live.empty());
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Whichever camera the picture is drawn from, the model view is that camera's, while refinement
// and culling follow camera 0.
TEST_F(RoamMethodTest, AFrameIsSeenFromTheCurrentCameraAndRefinedForCameraZero) {
  Activate();
  for (int camera : {0, 1, 2}) {
    SCOPED_TRACE("camera " + std::to_string(camera));
    view_.currentCamera = camera;
    Place(0.3f + 0.1f * camera, 0.4f, 0.5f * camera, 0.05f);
    Draw();
    GLfloat drawn[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, drawn);
    const CameraView& v = view_.cameras[camera];
    glLoadIdentity();
    gluLookAt(v.eye.x, v.eye.y, v.eye.z, v.centre.x, v.centre.y, v.centre.z, v.up.x, v.up.y, v.up.z);
    GLfloat expected[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(drawn[i], expected[i]) << "element " << i;
    EXPECT_EQ(UnmetCriterion(method_.tree(), terrain_, view_.cameras[0].eye), "");
  }
}

}  // namespace

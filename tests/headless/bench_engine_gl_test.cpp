#include "headless/bench_engine.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "cabtt/cabtt_refine.h"
#include "cabtt/cabtt_state.h"
#include "headless/brute_force_method.h"
#include "headless/builtin_flights.h"
#include "headless/headless_scene.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"
#include "support/gl_context.h"
#include "support/hills_terrain_file.h"
#include "support/temp_dir.h"
#include "terrain/height_field.h"

namespace {

constexpr int kGridExponent = 6;  // 65 x 65 samples
constexpr int kWidth = 200;
constexpr int kHeight = 150;

BenchMethod Roam() { return {BenchMethod::Kind::kRoam, 0, true}; }
BenchMethod Cabtt(int level, bool adaptive) { return {BenchMethod::Kind::kCabtt, level, adaptive}; }

class BenchEngineTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    ASSERT_TRUE(MakeTestGLContextCurrent(kWidth, kHeight));
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    ASSERT_TRUE(WriteHillsTerrainPng(dir_.File("hills.png"), kGridExponent));
    PrepareHeadlessScene(dir_.File("hills.png"), "", 0.1f, kWidth, kHeight);
    plan_.width = kWidth;
    plan_.height = kHeight;
    // Low and fast: the detail near the eye changes every frame.
    plan_.flight = ComputeBuiltInFlight("pass", 40);
  }
  void TearDown() override {
    TearDownHeadlessScene();
    glPopClientAttrib();
    glPopAttrib();
    MakeTestGLContextCurrent();
  }

  const MethodResult& Result(const BenchRun& run, const BenchMethod& method) {
    for (const MethodResult& result : run.methods)
      if (result.name == BenchMethodName(method)) return result;
    ADD_FAILURE() << "no result for " << BenchMethodName(method);
    return run.methods.front();
  }

  TempDir dir_;
  BenchPlan plan_;
};

// Every counter the refinement advances, tests included (drawing counts aggregates too).
struct TreeWork {
  RoamCounterSet roam;
  CabttCounterSet cabtt;
  bool operator==(const TreeWork& other) const {
    const CabttCounterSet& a = cabtt;
    const CabttCounterSet& b = other.cabtt;
    return std::memcmp(&roam, &other.roam, sizeof roam) == 0 && a.mergeTests == b.mergeTests &&
           a.merges == b.merges && a.splitTests == b.splitTests && a.splits == b.splits &&
           a.forceSplits == b.forceSplits;
  }
};

TEST_F(BenchEngineTest, DrawOperationFindsTheTreeAlreadyRefinedForItsEye) {
  for (const BenchMethod method : {Roam(), Cabtt(1, false), Cabtt(2, true)}) {
    if (method.kind == BenchMethod::Kind::kCabtt) {
      AggregationLevel = method.level;
      AdaptiveAggregation = method.adaptive;
    }
    SetDrawMethodQuietly(method.kind == BenchMethod::Kind::kRoam ? 0 : 1);
    PlaceCameraAt(plan_.flight[0]);
    DisplayFrame();
    int refinementSplits = 0;
    for (size_t frame = 1; frame < plan_.flight.size(); ++frame) {
      PlaceCameraAt(plan_.flight[frame]);
      const TreeWork start{RoamCounters, CabttCounters};
      if (method.kind == BenchMethod::Kind::kRoam)
        RoamUpdate(Cameras[0].eye);
      else
        UpdateCabttTree(Cameras[0].eye);
      const TreeWork refined{RoamCounters, CabttCounters};
      refinementSplits += static_cast<int>(refined.roam.splits - start.roam.splits) +
                          static_cast<int>(refined.cabtt.splits - start.cabtt.splits);
      DisplayFrame();
      const TreeWork drawn{RoamCounters, CabttCounters};
      EXPECT_TRUE(drawn == refined) << BenchMethodName(method) << " frame " << frame;
    }
    // The early update did the flight's work, so the comparison above meant something.
    EXPECT_GT(refinementSplits, 0) << BenchMethodName(method);
    SetDrawMethodQuietly(-1);
  }
}

TEST_F(BenchEngineTest, SameFlightTwiceGivesTheSameWorkEveryFrame) {
  plan_.methods = {Roam(), Cabtt(2, true), Cabtt(1, false), {BenchMethod::Kind::kBruteForce, 0, true}};
  const BenchRun first = RunBench(plan_, nullptr);
  const BenchRun second = RunBench(plan_, nullptr);
  ASSERT_EQ(first.methods.size(), plan_.methods.size());
  ASSERT_EQ(second.methods.size(), plan_.methods.size());
  for (size_t m = 0; m < plan_.methods.size(); ++m) {
    const MethodResult& a = first.methods[m];
    const MethodResult& b = second.methods[m];
    ASSERT_EQ(a.frames.size(), plan_.flight.size()) << a.name;
    ASSERT_EQ(b.frames.size(), plan_.flight.size()) << a.name;
    double splits = 0.0;
    for (size_t f = 0; f < a.frames.size(); ++f) {
      EXPECT_EQ(a.frames[f].triangles, b.frames[f].triangles) << a.name << " frame " << f;
      EXPECT_EQ(a.frames[f].splits, b.frames[f].splits) << a.name << " frame " << f;
      EXPECT_EQ(a.frames[f].merges, b.frames[f].merges) << a.name << " frame " << f;
      EXPECT_EQ(a.frames[f].blocksBuilt, b.frames[f].blocksBuilt) << a.name << " frame " << f;
      EXPECT_EQ(a.frames[f].bytes, b.frames[f].bytes) << a.name << " frame " << f;
      splits += a.frames[f].splits;
    }
    if (plan_.methods[m].kind != BenchMethod::Kind::kBruteForce) {
      EXPECT_GT(splits, 0.0) << a.name;
    }
  }
  // The reference draws the whole grid each frame and writes nothing to the GL.
  const double gridTriangles = 2.0 * (1 << kGridExponent) * (1 << kGridExponent);
  for (const FrameSample& frame : first.methods[3].frames) {
    EXPECT_EQ(frame.triangles, gridTriangles);
    EXPECT_EQ(frame.bytes, 0.0);
  }
  // CABTT draws most blocks again from the cache rather than building them anew.
  double built = 0.0, redrawn = 0.0;
  for (const FrameSample& frame : first.methods[1].frames) {
    built += frame.blocksBuilt;
    redrawn += frame.blocksRedrawn;
  }
  EXPECT_GT(redrawn, built);
}

// The whole-grid level draws the reference's triangles, but each in another vertex order (the
// builder's fans), and llvmpipe's interpolation rounds a rare pixel differently by one step: no
// pixel differs by more than the threshold, and at most a few by anything at all.
TEST_F(BenchEngineTest, WholeGridCabttDrawsTheReferencePictureAndCoarserLevelsDifferMore) {
  plan_.qualityEvery = 4;
  plan_.threshold = 8;
  plan_.methods = {Cabtt(0, false), Cabtt(1, false), Cabtt(kGridExponent, false), Roam()};
  const BenchRun run = RunBench(plan_, nullptr);
  ASSERT_EQ(run.methods.size(), 4u);  // the unlisted reference is not shown

  const auto meanShare = [](const MethodResult& result) {
    double sum = 0.0;
    for (const QualitySample& sample : result.quality) sum += sample.differingShare;
    return sum / static_cast<double>(result.quality.size());
  };
  const auto minPsnr = [](const MethodResult& result) {
    double least = INFINITY;
    for (const QualitySample& sample : result.quality) least = std::fmin(least, sample.psnr);
    return least;
  };
  const MethodResult& whole = Result(run, Cabtt(kGridExponent, false));
  ASSERT_EQ(whole.quality.size(), 10u);
  EXPECT_EQ(meanShare(whole), 0.0);
  EXPECT_GT(minPsnr(whole), 80.0);

  const MethodResult& coarsest = Result(run, Cabtt(0, false));
  const MethodResult& coarse = Result(run, Cabtt(1, false));
  EXPECT_GT(meanShare(coarsest), meanShare(coarse));
  EXPECT_GT(meanShare(coarse), 0.0);
  EXPECT_LT(minPsnr(coarsest), minPsnr(coarse));
  EXPECT_LT(minPsnr(coarse), minPsnr(whole));
  EXPECT_GT(meanShare(Result(run, Roam())), 0.0);

  plan_.threshold = 0;
  plan_.methods = {Cabtt(kGridExponent, false)};
  const BenchRun exact = RunBench(plan_, nullptr);
  EXPECT_LT(meanShare(exact.methods[0]), 0.001);
}

TEST_F(BenchEngineTest, RasterizerDiscardSkipsQualityButNotTheWork) {
  plan_.methods = {Roam(), Cabtt(3, true)};
  plan_.qualityEvery = 10;
  const BenchRun drawn = RunBench(plan_, nullptr);
  plan_.rasterizerDiscard = true;
  int progressCalls = 0;
  const BenchRun discarded = RunBench(plan_, [&](const std::string&, int done, int total) {
    ++progressCalls;
    EXPECT_EQ(total, 2 * static_cast<int>(plan_.flight.size()));  // no reference flown
    EXPECT_EQ(done, progressCalls);
  });
  EXPECT_TRUE(discarded.rasterizerDiscard);
  EXPECT_EQ(progressCalls, 2 * static_cast<int>(plan_.flight.size()));
  EXPECT_FALSE(glIsEnabled(GL_RASTERIZER_DISCARD));
  for (size_t m = 0; m < 2; ++m) {
    EXPECT_FALSE(drawn.methods[m].quality.empty());
    EXPECT_TRUE(discarded.methods[m].quality.empty());
    for (size_t f = 0; f < plan_.flight.size(); ++f)
      EXPECT_EQ(drawn.methods[m].frames[f].triangles, discarded.methods[m].frames[f].triangles);
  }
}

}  // namespace

// The benchmark's engine in this process's GL context: the work it counts is the same on every
// run, the brute-force reference is the picture CABTT draws at the whole-grid level, quality
// falls with coarser detail.
#include "headless/bench_engine.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "headless/brute_force_method.h"
#include "headless/detail_settings.h"
#include "headless/picture_quality.h"
#include "support/gl_context.h"
#include "support/hills_terrain_file.h"
#include "support/temp_dir.h"
#include "support/test_terrain.h"

namespace {

constexpr int kGridExponent = 6;  // 65 x 65 samples
constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr int kFrames = 40;

BenchMethod Roam() { return {BenchMethod::Kind::kRoam, 0, true}; }
BenchMethod Cabtt(int level, bool adaptive) { return {BenchMethod::Kind::kCabtt, level, adaptive}; }
BenchMethod Brute() { return {BenchMethod::Kind::kBruteForce, 0, true}; }

double MeanShare(const MethodResult& result) {
  double sum = 0.0;
  for (const QualitySample& sample : result.quality) sum += sample.differingShare;
  return result.quality.empty() ? NAN : sum / static_cast<double>(result.quality.size());
}

double MinPsnr(const MethodResult& result) {
  double least = INFINITY;
  for (const QualitySample& sample : result.quality) least = std::fmin(least, sample.psnr);
  return least;
}

class BenchEngineTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    ASSERT_TRUE(MakeTestGLContextCurrent(kWidth, kHeight));
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    ASSERT_TRUE(WriteHillsTerrainPng(dir_.File("hills.png"), kGridExponent));
    Result<std::unique_ptr<BenchScene>> prepared =
        PrepareBenchScene(dir_.File("hills.png"), "", 0.1f, kWidth, kHeight, log_);
    ASSERT_TRUE(prepared.ok()) << prepared.failure().message;
    scene_ = std::move(prepared.value());
    plan_.width = kWidth;
    plan_.height = kHeight;
    // Low and fast: the detail near the eye changes every frame.
    plan_.flight = ComputeBuiltInFlight("pass", kFrames, scene_->terrain.field);
  }
  void TearDown() override {
    scene_.reset();
    glPopClientAttrib();
    glPopAttrib();
    MakeTestGLContextCurrent();
  }

  BenchRun Run(const BenchProgressFunction& progress = nullptr) {
    Result<BenchRun> run = RunBench(*scene_, plan_, progress);
    EXPECT_TRUE(run.ok()) << run.failure().message;
    return run.ok() ? std::move(run.value()) : BenchRun{};
  }

  static const MethodResult& ResultOf(const BenchRun& run, const BenchMethod& method) {
    for (const MethodResult& result : run.methods)
      if (result.name == BenchMethodName(method)) return result;
    ADD_FAILURE() << "no result for " << BenchMethodName(method);
    static const MethodResult none;
    return none;
  }

  TempDir dir_;
  BufferLogSink log_;
  std::unique_ptr<BenchScene> scene_;
  BenchPlan plan_;
};

TEST_F(BenchEngineTest, SameFlightTwiceGivesTheSameWorkEveryFrame) {
  plan_.methods = {Roam(), Cabtt(2, true), Cabtt(1, false), Brute()};
  const BenchRun first = Run();
  const BenchRun second = Run();
  ASSERT_EQ(first.methods.size(), plan_.methods.size());
  ASSERT_EQ(second.methods.size(), plan_.methods.size());
  for (size_t m = 0; m < plan_.methods.size(); ++m) {
    const MethodResult& a = first.methods[m];
    const MethodResult& b = second.methods[m];
    EXPECT_EQ(a.name, BenchMethodName(plan_.methods[m]));
    ASSERT_EQ(a.frames.size(), plan_.flight.size()) << a.name;
    ASSERT_EQ(b.frames.size(), plan_.flight.size()) << a.name;
    EXPECT_TRUE(a.quality.empty()) << a.name;
    int splits = 0;
    for (size_t f = 0; f < a.frames.size(); ++f) {
      SCOPED_TRACE(a.name + " frame " + std::to_string(f));
      EXPECT_EQ(a.frames[f].frame, static_cast<int>(f));
      EXPECT_EQ(a.frames[f].triangles, b.frames[f].triangles);
      EXPECT_EQ(a.frames[f].bytes, b.frames[f].bytes);
      EXPECT_EQ(a.frames[f].splits, b.frames[f].splits);
      EXPECT_EQ(a.frames[f].merges, b.frames[f].merges);
      EXPECT_EQ(a.frames[f].blocksBuilt, b.frames[f].blocksBuilt);
      EXPECT_EQ(a.frames[f].blocksRedrawn, b.frames[f].blocksRedrawn);
      splits += a.frames[f].splits;
    }
    // The counts are the flight's own work, not zeros compared with zeros.
    if (plan_.methods[m] != Brute()) {
      EXPECT_GT(splits, 0) << a.name;
    }
  }
  // The reference draws the whole grid each frame and writes nothing to the GL.
  const double gridTriangles = 2.0 * (1 << kGridExponent) * (1 << kGridExponent);
  for (const FrameSample& frame : first.methods[3].frames) {
    EXPECT_EQ(frame.triangles, gridTriangles);
    EXPECT_EQ(frame.bytes, 0.0);
  }
  // CABTT draws most blocks again from the cache rather than building them anew.
  int built = 0, redrawn = 0;
  for (const FrameSample& frame : first.methods[1].frames) {
    built += frame.blocksBuilt;
    redrawn += frame.blocksRedrawn;
  }
  EXPECT_GT(redrawn, built);
}

// CABTT at the whole-grid level draws the reference's triangles, each in another vertex order
// (the builder's fans), so llvmpipe's interpolation may round a rare pixel differently by one
// step; coarser levels and ROAM differ more, the coarser the more.
TEST_F(BenchEngineTest, WholeGridCabttDrawsTheReferencePictureAndQualityFallsWithDetail) {
  plan_.qualityEvery = 4;
  plan_.threshold = 0;
  plan_.methods = {Cabtt(0, false), Cabtt(1, false), Cabtt(2, false), Cabtt(kGridExponent, false), Roam()};
  const BenchRun exact = Run();
  ASSERT_EQ(exact.methods.size(), plan_.methods.size()) << "the unlisted reference is not shown";
  for (const MethodResult& result : exact.methods) {
    ASSERT_EQ(result.quality.size(), 10u) << result.name;
    for (size_t s = 0; s < result.quality.size(); ++s) EXPECT_EQ(result.quality[s].frame, static_cast<int>(4 * s));
  }
  const MethodResult& whole = ResultOf(exact, Cabtt(kGridExponent, false));
  EXPECT_GT(MinPsnr(whole), 80.0);
  EXPECT_LE(MeanShare(whole), 0.001);

  // Each level up to 2 is strictly closer to the reference than the one below; on this small
  // terrain level 2 already draws the finest triangles where they are seen.
  double coarserShare = 1.0, coarserPsnr = 0.0;
  for (const int level : {0, 1, 2}) {
    const MethodResult& result = ResultOf(exact, Cabtt(level, false));
    EXPECT_LT(MeanShare(result), coarserShare) << result.name;
    EXPECT_GT(MinPsnr(result), coarserPsnr) << result.name;
    coarserShare = MeanShare(result);
    coarserPsnr = MinPsnr(result);
  }
  EXPECT_LE(MeanShare(whole), coarserShare);
  EXPECT_GE(MinPsnr(whole), coarserPsnr);
  EXPECT_GT(MeanShare(ResultOf(exact, Roam())), 0.0);

  // No pixel is off by more than one grey level.
  plan_.threshold = 1;
  plan_.methods = {Cabtt(kGridExponent, false)};
  EXPECT_EQ(MeanShare(Run().methods.at(0)), 0.0);
}

// Without the rasterizer the timed flight draws the same work, and each method's pictures come
// from a flight of its own over the same poses: the very pictures of a rasterized run.
TEST_F(BenchEngineTest, RasterizerDiscardTimesWithoutPicturesAndTakesThemFromAFlightApart) {
  plan_.methods = {Roam(), Cabtt(3, true)};
  plan_.qualityEvery = 10;
  const BenchRun drawn = Run();

  plan_.rasterizerDiscard = true;
  int progressCalls = 0;
  std::vector<std::string> labels;
  const BenchRun discarded = Run([&](const std::string& label, int done, int total) {
    ++progressCalls;
    EXPECT_EQ(total, 5 * kFrames);  // the reference, then each method's pictures and its timing
    EXPECT_EQ(done, progressCalls);
    if (labels.empty() || labels.back() != label) labels.push_back(label);
  });
  EXPECT_EQ(progressCalls, 5 * kFrames);
  EXPECT_EQ(labels, (std::vector<std::string>{"Brute force", "ROAM (pictures)", "ROAM", "CABTT L3 adaptive (pictures)",
                                              "CABTT L3 adaptive"}));
  EXPECT_TRUE(discarded.rasterizerDiscard);
  EXPECT_FALSE(glIsEnabled(GL_RASTERIZER_DISCARD));
  ASSERT_EQ(discarded.methods.size(), 2u);
  for (size_t m = 0; m < 2; ++m) {
    ASSERT_EQ(discarded.methods[m].quality.size(), 4u);
    for (size_t q = 0; q < 4; ++q) {
      EXPECT_EQ(discarded.methods[m].quality[q].frame, drawn.methods[m].quality[q].frame);
      EXPECT_EQ(discarded.methods[m].quality[q].psnr, drawn.methods[m].quality[q].psnr);
    }
    for (size_t f = 0; f < plan_.flight.size(); ++f)
      EXPECT_EQ(drawn.methods[m].frames[f].triangles, discarded.methods[m].frames[f].triangles);
  }

  // Without quality there are no pictures to take, and no flight reaches the rasterizer: what the
  // framebuffer held before the run (the discard keeps even the frames' clears out) is still there.
  plan_.qualityEvery = 0;
  plan_.methods.push_back(BenchMethod{BenchMethod::Kind::kBruteForce, 0, true});
  glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(Run().methods.size(), 3u);
  const std::vector<uint8_t> untouched = ReadFrameRgb(kWidth, kHeight);
  for (size_t i = 0; i < untouched.size(); i += 3)
    ASSERT_TRUE(untouched[i] == 255 && untouched[i + 1] == 0 && untouched[i + 2] == 255) << "pixel " << i / 3;
}

// A finer screen-space error never draws fewer triangles in any frame (the metric grows with the
// weight at every vertex) nor a worse picture at any sample. Pictures within the rasterizer's
// one-level noise of the reference are all equally good: a picture off by one grey level in
// every channel of every pixel has 20 log10(255) = 48.13 dB, and above that PSNRs differ by how
// the same surface's triangles round, not by detail. So a finer setting's PSNR must reach its
// coarser neighbour's or 48.13 dB, whichever is lower.
TEST_F(BenchEngineTest, SmallerPixelErrorsNeverDrawFewerTrianglesNorWorsePictures) {
  plan_.qualityEvery = 4;
  plan_.methods = {Roam(), Cabtt(2, true), Cabtt(3, false)};
  const std::vector<double> pixelErrors = {8, 4, 2, 1, 0.5, 0.25};
  for (const double pixels : pixelErrors)
    plan_.details.push_back({static_cast<float>(WeightForPixelError(pixels, kHeight, FlownFieldOfView())), pixels});
  int total = 0;
  const BenchRun run = Run([&](const std::string&, int, int all) { total = all; });
  // The reference flies once for every setting.
  EXPECT_EQ(total, kFrames * static_cast<int>(1 + plan_.methods.size() * pixelErrors.size()));
  ASSERT_EQ(run.methods.size(), plan_.methods.size() * pixelErrors.size());

  const double oneLevelNoise = 20.0 * std::log10(255.0);
  for (size_t m = 0; m < plan_.methods.size(); ++m) {
    for (size_t d = 1; d < pixelErrors.size(); ++d) {
      const MethodResult& coarser = run.methods[m * pixelErrors.size() + d - 1];
      const MethodResult& finer = run.methods[m * pixelErrors.size() + d];
      SCOPED_TRACE(finer.name + " at " + std::to_string(pixelErrors[d]) + " px");
      ASSERT_TRUE(finer.detail.has_value());
      EXPECT_EQ(finer.detail->pixelError, pixelErrors[d]);
      for (size_t f = 0; f < finer.frames.size(); ++f)
        EXPECT_GE(finer.frames[f].triangles, coarser.frames[f].triangles) << "frame " << f;
      ASSERT_EQ(finer.quality.size(), coarser.quality.size());
      for (size_t q = 0; q < finer.quality.size(); ++q)
        EXPECT_GE(finer.quality[q].psnr, std::min(coarser.quality[q].psnr, oneLevelNoise)) << "sample " << q;
    }
    // The sweep spans real detail: the coarsest setting draws far fewer triangles than the finest.
    double coarsest = 0, finest = 0;
    for (const FrameSample& frame : run.methods[m * pixelErrors.size()].frames) coarsest += frame.triangles;
    for (const FrameSample& frame : run.methods[(m + 1) * pixelErrors.size() - 1].frames) finest += frame.triangles;
    EXPECT_LT(2 * coarsest, finest) << BenchMethodName(plan_.methods[m]);
  }
}

TEST(BruteForceTriangles, EveryCellIsTwoCounterClockwiseHalvesWithTheBintreeDiagonals) {
  const HeightField field = FlatField(4);
  const std::vector<uint32_t> indices = FinestBintreeTriangles(field);
  const int side = field.N + 1;
  ASSERT_EQ(indices.size(), 6u * field.N * field.N);

  std::map<std::pair<int, int>, int> halvesPerCell;
  std::map<std::pair<int, int>, std::set<std::pair<uint32_t, uint32_t>>> diagonalPerCell;
  for (size_t t = 0; t < indices.size(); t += 3) {
    int xs[3], ys[3];
    for (int k = 0; k < 3; ++k) {
      ASSERT_LT(indices[t + k], static_cast<uint32_t>(side * side));
      xs[k] = static_cast<int>(indices[t + k]) % side;
      ys[k] = static_cast<int>(indices[t + k]) / side;
    }
    const int area2 = (xs[1] - xs[0]) * (ys[2] - ys[0]) - (ys[1] - ys[0]) * (xs[2] - xs[0]);
    ASSERT_EQ(area2, 1) << "triangle " << t / 3 << " is not a counter-clockwise half cell";
    const std::pair<int, int> cell = {std::min({xs[0], xs[1], xs[2]}), std::min({ys[0], ys[1], ys[2]})};
    ++halvesPerCell[cell];
    // The hypotenuse joins the two corners that share neither x nor y.
    for (int a = 0; a < 3; ++a) {
      const int b = (a + 1) % 3;
      if (xs[a] != xs[b] && ys[a] != ys[b]) diagonalPerCell[cell].insert(std::minmax(indices[t + a], indices[t + b]));
    }
  }
  ASSERT_EQ(halvesPerCell.size(), static_cast<size_t>(field.N * field.N));
  for (const auto& [cell, halves] : halvesPerCell) {
    EXPECT_EQ(halves, 2);
    // Both halves share one diagonal; the bintree's diagonals alternate like a chequer board:
    // cells whose x + y is even run from the lower left to the upper right.
    ASSERT_EQ(diagonalPerCell[cell].size(), 1u);
    const auto [from, to] = *diagonalPerCell[cell].begin();
    const bool rising = static_cast<int>(to % side) - static_cast<int>(from % side) == 1;
    EXPECT_EQ(rising, (cell.first + cell.second) % 2 == 0) << cell.first << "," << cell.second;
  }
}

}  // namespace

#include "headless/bench_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

FrameSample Frame(int number, double triangles, double refineMs, double drawMs, int splits) {
  FrameSample frame;
  frame.frame = number;
  frame.frameMs = refineMs + drawMs + 1.0;
  frame.refineMs = refineMs;
  frame.drawMs = drawMs;
  frame.triangles = triangles;
  frame.bytes = triangles * 20;
  frame.splits = splits;
  frame.merges = splits * 2;
  frame.blocksBuilt = splits % 3;
  frame.blocksRedrawn = splits + 5;
  return frame;
}

MethodResult WithPsnr(std::initializer_list<double> psnrs) {
  MethodResult result;
  int frame = 0;
  for (double psnr : psnrs) result.quality.push_back({frame++, psnr, 0.1 * frame});
  return result;
}

TEST(BenchSummaryTest, AveragesPerFrameAndRatesOverWallTime) {
  MethodResult result;
  result.name = "CABTT L4 adaptive";
  result.frames = {Frame(0, 1000, 1.0, 2.0, 4), Frame(1, 3000, 3.0, 4.0, 8), Frame(2, 2000, 2.0, 9.0, 0),
                   Frame(3, 6000, 6.0, 1.0, 1)};
  result.wallSeconds = 0.5;
  result.peakMemoryMiB = 77.5;

  MethodSummary s = Summarize(result);
  EXPECT_EQ(s.name, "CABTT L4 adaptive");
  EXPECT_EQ(s.frames, 4);
  EXPECT_DOUBLE_EQ(s.wallSeconds, 0.5);
  EXPECT_DOUBLE_EQ(s.framesPerSecond, 8.0);
  EXPECT_DOUBLE_EQ(s.trianglesPerFrame, 3000.0);
  EXPECT_DOUBLE_EQ(s.trianglesPerSecond, 24000.0);
  EXPECT_DOUBLE_EQ(s.bytesPerFrame, 60000.0);
  EXPECT_DOUBLE_EQ(s.splitsPerFrame, 13.0 / 4);
  EXPECT_DOUBLE_EQ(s.mergesPerFrame, 26.0 / 4);
  EXPECT_DOUBLE_EQ(s.blocksBuiltPerFrame, (1 + 2 + 0 + 1) / 4.0);
  EXPECT_DOUBLE_EQ(s.blocksRedrawnPerFrame, (9 + 13 + 5 + 6) / 4.0);
  EXPECT_DOUBLE_EQ(s.refineMsPerFrame, 3.0);
  EXPECT_DOUBLE_EQ(s.drawMsPerFrame, 4.0);
  EXPECT_DOUBLE_EQ(s.peakMemoryMiB, 77.5);
  EXPECT_FALSE(s.hasQuality);
}

TEST(BenchSummaryTest, MissingFramesOrTimeGiveZerosNotNaN) {
  MethodResult empty;
  empty.wallSeconds = 0.0;
  MethodSummary s = Summarize(empty);
  EXPECT_EQ(s.frames, 0);
  for (double value : {s.framesPerSecond, s.trianglesPerFrame, s.trianglesPerSecond, s.bytesPerFrame,
                       s.splitsPerFrame, s.mergesPerFrame, s.blocksBuiltPerFrame, s.blocksRedrawnPerFrame,
                       s.refineMsPerFrame, s.drawMsPerFrame, s.meanDifferingShare}) {
    EXPECT_EQ(value, 0.0);
  }

  // Frames but no usable time: per-frame figures stand, rates are zero.
  MethodResult untimed;
  untimed.frames = {Frame(0, 500, 1.0, 1.0, 2), Frame(1, 700, 1.0, 1.0, 2)};
  for (double wall : {0.0, -1.0, std::nan("")}) {
    untimed.wallSeconds = wall;
    s = Summarize(untimed);
    EXPECT_DOUBLE_EQ(s.trianglesPerFrame, 600.0);
    EXPECT_EQ(s.framesPerSecond, 0.0) << wall;
    EXPECT_EQ(s.trianglesPerSecond, 0.0) << wall;
    EXPECT_EQ(s.wallSeconds, 0.0) << wall;
  }
}

TEST(BenchSummaryTest, PsnrMeanSkipsIdenticalPicturesUnlessAllAreIdentical) {
  MethodSummary mixed = Summarize(WithPsnr({30.0, kInfinity, 20.0, std::nan("")}));
  EXPECT_TRUE(mixed.hasQuality);
  EXPECT_DOUBLE_EQ(mixed.meanPsnr, 25.0);
  EXPECT_DOUBLE_EQ(mixed.minPsnr, 20.0);
  // The share is averaged over every sample, identical ones included.
  EXPECT_DOUBLE_EQ(mixed.meanDifferingShare, (0.1 + 0.2 + 0.3 + 0.4) / 4);

  MethodSummary identical = Summarize(WithPsnr({kInfinity, kInfinity}));
  EXPECT_TRUE(identical.hasQuality);
  EXPECT_TRUE(std::isinf(identical.meanPsnr) && identical.meanPsnr > 0);
  EXPECT_TRUE(std::isinf(identical.minPsnr) && identical.minPsnr > 0);

  MethodSummary single = Summarize(WithPsnr({42.5}));
  EXPECT_DOUBLE_EQ(single.meanPsnr, 42.5);
  EXPECT_DOUBLE_EQ(single.minPsnr, 42.5);
  EXPECT_FALSE(std::isnan(Summarize(WithPsnr({std::nan("")})).meanPsnr));
}

}  // namespace

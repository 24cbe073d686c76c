// Speed at equal quality on hand-made curves: interpolation between the bracketing settings,
// extrapolation beyond the curve, out-of-range answers, and the comparison of a run against ROAM.
#include "headless/equal_quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/sample_bench_run.h"

namespace {

constexpr double kInfinity = INFINITY;

// A point of a curve at a made-up weight; frame and CPU times apart so that a mix-up shows.
QualityPoint Point(float weight, double psnr, double frameMs) {
  return {{weight, 600.0 / weight}, psnr, 0.01, frameMs, frameMs / 4};
}

TEST(TimeToReach, InterpolatesBetweenBracketsAndExtrapolatesOnlyWhereALineAllows) {
  const std::vector<QualityPoint> curve = {Point(100, 30, 2), Point(200, 35, 4), Point(400, 40, 8)};
  const auto at = [&](double psnr) { return TimeToReach(curve, psnr, &QualityPoint::frameMs); };
  EXPECT_EQ(at(37.5).reach, Reach::kInterpolated);
  EXPECT_DOUBLE_EQ(at(37.5).ms, 6.0);
  EXPECT_DOUBLE_EQ(at(31).ms, 2.4);
  EXPECT_DOUBLE_EQ(at(35).ms, 4.0);  // a point's own PSNR: its own time
  EXPECT_DOUBLE_EQ(TimeToReach(curve, 37.5, &QualityPoint::cpuMs).ms, 1.5);

  // Beyond the curve: the line through the two nearest points, while it gives a positive time.
  EXPECT_EQ(at(42).reach, Reach::kExtrapolated);
  EXPECT_DOUBLE_EQ(at(42).ms, 9.6);
  EXPECT_EQ(at(28).reach, Reach::kExtrapolated);
  EXPECT_DOUBLE_EQ(at(28).ms, 1.2);
  EXPECT_EQ(at(25).reach, Reach::kOutOfRange);  // the line reaches 0 ms at 25 dB
  EXPECT_EQ(at(20).reach, Reach::kOutOfRange);
  EXPECT_EQ(at(kInfinity).reach, Reach::kOutOfRange);
  EXPECT_EQ(at(NAN).reach, Reach::kOutOfRange);

  // One point, two of the same PSNR: nothing to draw a line through.
  EXPECT_EQ(TimeToReach({Point(100, 30, 2)}, 31, &QualityPoint::frameMs).reach, Reach::kOutOfRange);
  EXPECT_EQ(TimeToReach({Point(100, 30, 2), Point(200, 30, 3)}, 31, &QualityPoint::frameMs).reach,
            Reach::kOutOfRange);
  // Points without a finite PSNR or a positive time take no part.
  const std::vector<QualityPoint> holes = {Point(100, 30, 2), Point(150, kInfinity, 3), Point(200, 34, 0),
                                           Point(400, 40, 8)};
  EXPECT_DOUBLE_EQ(TimeToReach(holes, 35, &QualityPoint::frameMs).ms, 5.0);
  // A curve that dips: the first bracket from the coarse end, the cheaper way to the quality.
  const std::vector<QualityPoint> dipping = {Point(100, 30, 2), Point(200, 38, 4), Point(300, 34, 6),
                                             Point(400, 40, 8)};
  EXPECT_DOUBLE_EQ(TimeToReach(dipping, 36, &QualityPoint::frameMs).ms, 3.5);
}

TEST(TimeToReach, OnRandomRisingCurvesEveryTargetInsideLandsBetweenItsBracketsTimes) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> step(0.01, 5.0);
  for (int trial = 0; trial < 500; ++trial) {
    std::vector<QualityPoint> curve;
    double psnr = 20.0, ms = 0.5;
    const int points = 2 + trial % 6;
    for (int p = 0; p < points; ++p) {
      curve.push_back(Point(static_cast<float>(100 * (p + 1)), psnr, ms));
      psnr += step(random);
      ms += step(random);
    }
    for (size_t p = 0; p + 1 < curve.size(); ++p) {
      const double target = curve[p].psnr + (curve[p + 1].psnr - curve[p].psnr) * 0.37;
      const TimeAtQuality at = TimeToReach(curve, target, &QualityPoint::frameMs);
      ASSERT_EQ(at.reach, Reach::kInterpolated);
      EXPECT_GT(at.ms, curve[p].frameMs);
      EXPECT_LT(at.ms, curve[p + 1].frameMs);
    }
    const TimeAtQuality above = TimeToReach(curve, curve.back().psnr + 1.0, &QualityPoint::frameMs);
    ASSERT_EQ(above.reach, Reach::kExtrapolated);
    EXPECT_GT(above.ms, curve.back().frameMs);
  }
}

// A run of ROAM and one other method over three settings listed out of order, and the brute force.
BenchRun Sweep(const std::vector<double>& otherPsnr, const std::vector<double>& otherMs) {
  const std::vector<float> weights = {600, 150, 300};
  std::vector<MethodResult> results;
  const double roamPsnr[] = {36, 30, 33}, roamMs[] = {12, 1, 7};
  for (int method = 0; method < 2; ++method) {
    for (size_t s = 0; s < weights.size(); ++s) {
      MethodResult result = SampleMethodResult(method == 0 ? "ROAM" : "CABTT L4 adaptive", 4, 0, 1);
      result.detail = DetailSetting{weights[s], 600.0 / weights[s]};
      for (FrameSample& frame : result.frames) {
        frame.frameMs = method == 0 ? roamMs[s] : otherMs[s];
        frame.refineMs = frame.drawMs = frame.frameMs / 4;
      }
      result.quality = {{0, method == 0 ? roamPsnr[s] : otherPsnr[s], 0.01}};
      results.push_back(result);
    }
  }
  results.push_back(SampleMethodResult("Brute force", 4, 0, 2));
  BenchRun run = SampleBenchRun(results);
  run.details = {{600, 1}, {150, 4}, {300, 2}};
  run.detailListed = true;
  return run;
}

TEST(EqualQuality, EveryMethodMeetsRoamAtEachOfItsSettingsOnItsOwnCurve) {
  const BenchRun run = Sweep({38, 31, 35}, {6, 2, 3});
  const std::vector<QualityCurve> curves = QualityCurves(run);
  ASSERT_EQ(curves.size(), 2u);  // the brute force has no curve; each curve runs coarse to fine
  for (const QualityCurve& curve : curves)
    EXPECT_EQ(curve.points.back().detail.weight, 600) << "coarse to fine";
  const std::vector<EqualQualityComparison> comparisons = CompareAtRoamQuality(run);
  ASSERT_EQ(comparisons.size(), 3u);
  // ROAM at 4 px (30 dB, 1 ms): below the other curve (31, 35, 38 dB at 2, 3, 6 ms): extrapolated.
  EXPECT_EQ(comparisons[0].frame.reach, Reach::kExtrapolated);
  EXPECT_DOUBLE_EQ(comparisons[0].frame.ms, 1.75);
  // ROAM at 2 px (33 dB, 7 ms): between 31 and 35 dB, at 2.5 ms; 2.8 times faster.
  EXPECT_EQ(comparisons[1].frame.reach, Reach::kInterpolated);
  EXPECT_DOUBLE_EQ(comparisons[1].frame.ms, 2.5);
  EXPECT_DOUBLE_EQ(comparisons[1].cpu.ms, 2.5 / 2);
  const std::string faster = EqualQualitySentence(comparisons[1], curves[1]);
  EXPECT_NE(faster.find("at ROAM's quality at 2 px (33.00 dB), CABTT L4 adaptive is 2.80x faster (2.50 ms against "
                        "7.00 ms)"),
            std::string::npos)
      << faster;
  EXPECT_NE(EqualQualitySentence(comparisons[0], curves[1]).find("is 1.75x slower (1.75 ms against 1.00 ms), "
                                                                  "extrapolated"),
            std::string::npos);

  // A curve too flat to reach ROAM's quality either way is out of range, and says what it reaches.
  const BenchRun flat = Sweep({31, 31, 31}, {6, 2, 3});
  const std::vector<EqualQualityComparison> none = CompareAtRoamQuality(flat);
  ASSERT_EQ(none.size(), 3u);
  EXPECT_NE(EqualQualitySentence(none[2], QualityCurves(flat)[1]).find(": out of range (it reaches 31.00 to 31.00 dB)"),
            std::string::npos);

  BenchRun single = run;
  single.details.resize(1);
  EXPECT_EQ(FormatEqualQuality(single), "");  // one setting: no curve to compare on
}

}  // namespace

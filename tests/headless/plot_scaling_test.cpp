#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "headless/axis_ticks.h"
#include "headless/plot_decimation.h"

namespace {

TEST(PlotDecimationTest, ThinnedLinesKeepEndsOrderAndExtremes) {
  std::mt19937 random(7);
  std::normal_distribution<double> noise(10.0, 2.0);
  for (size_t count :
       {size_t{0}, size_t{1}, size_t{5}, size_t{1999}, size_t{2000}, size_t{2001}, size_t{123457}}) {
    std::vector<PlotPoint> points;
    for (size_t i = 0; i < count; ++i) points.push_back({static_cast<double>(i), noise(random)});
    if (count > 10) points[count / 3].y = 500.0, points[count / 2].y = -500.0;

    std::vector<PlotPoint> kept = DecimateForPlot(points, 2000);
    SCOPED_TRACE(count);
    if (count <= 2000) {
      EXPECT_EQ(kept.size(), count);
      continue;
    }
    EXPECT_LE(kept.size(), 2000u);
    EXPECT_GE(kept.size(), 1000u);
    EXPECT_EQ(kept.front().x, points.front().x);
    EXPECT_EQ(kept.back().x, points.back().x);
    for (size_t i = 1; i < kept.size(); ++i) EXPECT_LT(kept[i - 1].x, kept[i].x);
    auto byY = [](const PlotPoint& a, const PlotPoint& b) { return a.y < b.y; };
    EXPECT_EQ(std::max_element(kept.begin(), kept.end(), byY)->y, 500.0);
    EXPECT_EQ(std::min_element(kept.begin(), kept.end(), byY)->y, -500.0);
  }
  // A tiny budget is raised to the least that can keep both ends and one extreme pair.
  std::vector<PlotPoint> ten(10, PlotPoint{0, 0});
  for (size_t i = 0; i < ten.size(); ++i) ten[i].x = i;
  EXPECT_LE(DecimateForPlot(ten, 0).size(), 4u);
  EXPECT_EQ(DecimateForPlot(ten, 0).back().x, 9.0);
}

TEST(AxisTicksTest, RoundStepsCoverTheData) {
  struct Case {
    double low, high, minimumStep;
  } cases[] = {{0, 97, 0}, {0, 1, 0},      {0, 0.0031, 0}, {3, 3, 0}, {0, 0, 0},    {-7, 12, 0},
               {0, 3, 1},  {0, 149999, 1}, {0, 2.1e6, 0},  {5, 1, 0}, {0, 1e300, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.low) + " " + std::to_string(c.high));
    AxisScale axis = NiceAxis(c.low, c.high, 6, c.minimumStep);
    EXPECT_LE(axis.low, std::min(c.low, c.high));
    EXPECT_GE(axis.high, std::max(c.low, c.high));
    EXPECT_LT(axis.low, axis.high);
    EXPECT_GE(axis.step, c.minimumStep);
    double mantissa = axis.step / std::pow(10.0, std::floor(std::log10(axis.step)));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 ||
                std::fabs(mantissa - 5) < 1e-9)
        << axis.step;
    std::vector<double> ticks = axis.Ticks();
    EXPECT_GE(ticks.size(), 2u);
    EXPECT_LE(ticks.size(), 101u);
    EXPECT_NEAR(ticks.front(), axis.low, axis.step * 1e-6);
    EXPECT_NEAR(ticks.back(), axis.high, axis.step * 1e-6);
  }
}

TEST(AxisTicksTest, LabelsUseOneUnitPerAxis) {
  AxisScale millions = NiceAxis(0, 2.1e6, 6);
  EXPECT_EQ(FormatTick(0, millions), "0");
  EXPECT_EQ(FormatTick(500000, millions), "0.5M");
  EXPECT_EQ(FormatTick(2.5e6, millions), "2.5M");
  AxisScale thousands = NiceAxis(0, 45000, 6);
  EXPECT_EQ(FormatTick(10000, thousands), "10k");
  EXPECT_EQ(FormatTick(0, thousands), "0");
  AxisScale small = NiceAxis(0, 0.029, 6);
  EXPECT_EQ(FormatTick(small.step * 3, small), "0.015");
  // Accumulated rounding never shows as "-0".
  EXPECT_EQ(FormatTick(-1e-17, NiceAxis(-1, 1, 4)), "0");
}

}  // namespace

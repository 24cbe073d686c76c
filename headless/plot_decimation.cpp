#include "headless/plot_decimation.h"

std::vector<PlotPoint> DecimateForPlot(const std::vector<PlotPoint>& points, size_t maxPoints) {
  if (maxPoints < 4) maxPoints = 4;
  if (points.size() <= maxPoints) return points;

  const size_t interior = points.size() - 2;
  const size_t runs = (maxPoints - 2) / 2;
  std::vector<PlotPoint> kept;
  kept.reserve(2 + 2 * runs);
  kept.push_back(points.front());
  for (size_t run = 0; run < runs; ++run) {
    // Interior points [begin, end) of this run; every run has at least one point.
    size_t begin = 1 + run * interior / runs;
    size_t end = 1 + (run + 1) * interior / runs;
    size_t lowest = begin, highest = begin;
    for (size_t i = begin + 1; i < end; ++i) {
      if (points[i].y < points[lowest].y) lowest = i;
      if (points[i].y > points[highest].y) highest = i;
    }
    size_t first = lowest < highest ? lowest : highest;
    size_t second = lowest < highest ? highest : lowest;
    kept.push_back(points[first]);
    if (second != first) kept.push_back(points[second]);
  }
  kept.push_back(points.back());
  return kept;
}

#pragma once
#include <cstddef>
#include <vector>

struct PlotPoint {
  double x;
  double y;
};

// At most maxPoints (at least 4) of the points, in their order, for drawing a line. The first
// and last points stay; the rest fall into equal runs of which only the lowest and the highest
// point are kept, so that spikes survive however many frames are thinned out.
std::vector<PlotPoint> DecimateForPlot(const std::vector<PlotPoint>& points, size_t maxPoints);

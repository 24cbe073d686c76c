#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "headless/bench_results.h"
#include "headless/svg_chart.h"

// Points per method line beyond which a chart's line is thinned: the first and last points stay,
// the rest fall into equal runs of which only the lowest and highest point are kept, so that
// spikes survive however many frames are thinned out.
inline constexpr size_t kMaxPlotPointsPerLine = 2000;

// At most maxPoints (at least 4) of the points, in their order, as described above.
std::vector<PlotPoint> DecimateForPlot(const std::vector<PlotPoint>& points, size_t maxPoints);

// Two stacked charts against frame number, frame time (ms) above and triangles per frame below,
// one polyline per method result in the run's order (non-finite values left out, and values
// that are not positive on a logarithmic axis; a lone point also marked with a circle) and a
// legend naming each result (with its pixel error when the run's settings were listed). Axes run
// over round numbers (steps of 1, 2 or 5 times a power of ten, frames on whole numbers; labels in
// k or M on axes reaching 10,000 or a million); options.logTime makes the frame-time axis
// logarithmic, so that one slow method does not flatten the others. Self-contained: no scripts,
// no external references; text escaped for XML; numbers with a decimal point whatever the locale.
std::string RenderSvgPlot(const BenchRun& run, const PlotOptions& options = {});

// The same document in a file that appears under its name only when completely written; false
// when it could not be created or written.
bool WriteSvgPlot(const BenchRun& run, const std::string& path, const PlotOptions& options = {});

#pragma once
#include <cstddef>
#include <string>

#include "headless/bench_results.h"

// Points per method line beyond which a chart's line is thinned (spikes kept).
inline constexpr size_t kMaxPlotPointsPerLine = 2000;

// Two stacked charts against frame number, frame time (ms) above and triangles per frame below,
// one polyline per method in the run's order and a legend. Self-contained: no scripts, no
// external references. The file appears under its name only when completely written; false
// when it could not be created or written.
bool WriteSvgPlot(const BenchRun& run, const std::string& path);

// The same document as text.
std::string RenderSvgPlot(const BenchRun& run);

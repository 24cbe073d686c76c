#pragma once
#include <string>

#include "headless/bench_results.h"
#include "headless/svg_chart.h"

// Picture quality against time, in the style of the frame plot: two stacked charts, mean PSNR
// against the brute force over mean frame time above and over mean CPU time (refine + draw)
// below, one curve per method through its detail settings from the coarsest to the finest, each
// point marked and labelled with its pixel error, and a legend. Results without quality samples
// or without a finite mean PSNR are left out (the brute force among them); options.logTime makes
// both time axes logarithmic. Self-contained, text escaped, numbers with a decimal point whatever
// the locale.
std::string RenderQualityPlot(const BenchRun& run, const PlotOptions& options = {});

// The same document in a file that appears under its name only when completely written; false
// when it could not be created or written.
bool WriteQualityPlot(const BenchRun& run, const std::string& path, const PlotOptions& options = {});

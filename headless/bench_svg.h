#pragma once
// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include <string>

#include "headless/bench_results.h"

bool WriteSvgPlot(const BenchRun& run, const std::string& path);

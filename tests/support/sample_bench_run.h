#pragma once
#include <string>
#include <vector>

#include "headless/bench_results.h"

// A made-up method result with varied, non-round figures for report tests: frames numbered
// from 0, quality sampled every qualityEvery frames (0: none). The same seed gives the same result.
MethodResult SampleMethodResult(const std::string& name, int frames, int qualityEvery, unsigned seed);

// A run over a made-up terrain and flight with the given methods.
BenchRun SampleBenchRun(std::vector<MethodResult> methods, bool rasterizerDiscard = false);

#pragma once
#include <string>

#include "headless/bench_results.h"

// One method's run reduced to the figures of the table. Per-frame figures are means over the
// frames; rates are over the wall time and are 0 when no time was measured. A run without
// frames gives zeros, never NaN.
//
// Quality: meanPsnr is the mean of the finite PSNR samples; pictures identical to the reference
// have infinite PSNR and are left out of that mean, unless every sample is identical, in which
// case meanPsnr is +infinity. minPsnr is the smallest sample, so it is +infinity only when every
// sample is identical. NaN samples are ignored. meanDifferingShare is over all samples.
struct MethodSummary {
  std::string name;
  int frames;
  double wallSeconds, framesPerSecond, trianglesPerFrame, trianglesPerSecond, bytesPerFrame, splitsPerFrame,
      mergesPerFrame, blocksBuiltPerFrame, blocksRedrawnPerFrame, refineMsPerFrame, drawMsPerFrame,
      peakMemoryMiB;
  bool hasQuality;
  double meanPsnr, minPsnr, meanDifferingShare;
};

MethodSummary Summarize(const MethodResult& result);

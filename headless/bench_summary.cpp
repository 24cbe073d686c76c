#include "headless/bench_summary.h"

#include <cmath>
#include <limits>

namespace {

double PerUnit(double total, double units) { return units > 0 ? total / units : 0.0; }

// A wall time that rates can be divided by: positive and finite, else none.
double UsableSeconds(double seconds) { return std::isfinite(seconds) && seconds > 0 ? seconds : 0.0; }

void SummarizeQuality(const MethodResult& result, MethodSummary* summary) {
  summary->hasQuality = !result.quality.empty();
  const double infinity = std::numeric_limits<double>::infinity();
  double finiteSum = 0.0, shareSum = 0.0;
  int finiteCount = 0, infiniteCount = 0;
  double minimum = infinity;
  for (const QualitySample& sample : result.quality) {
    shareSum += sample.differingShare;
    if (std::isnan(sample.psnr)) continue;
    if (std::isinf(sample.psnr) && sample.psnr > 0) {
      ++infiniteCount;
      continue;
    }
    finiteSum += sample.psnr;
    ++finiteCount;
    if (sample.psnr < minimum) minimum = sample.psnr;
  }
  if (finiteCount > 0) {
    summary->meanPsnr = finiteSum / finiteCount;
    summary->minPsnr = minimum;
  } else if (infiniteCount > 0) {
    summary->meanPsnr = infinity;
    summary->minPsnr = infinity;
  }
  summary->meanDifferingShare = PerUnit(shareSum, static_cast<double>(result.quality.size()));
}

}  // namespace

MethodSummary Summarize(const MethodResult& result) {
  MethodSummary summary{};
  summary.name = result.name;
  summary.frames = static_cast<int>(result.frames.size());
  summary.wallSeconds = UsableSeconds(result.wallSeconds);
  summary.peakMemoryMiB = result.peakMemoryMiB;

  double triangles = 0, bytes = 0, splits = 0, merges = 0, built = 0, redrawn = 0, refineMs = 0, drawMs = 0;
  for (const FrameSample& frame : result.frames) {
    triangles += frame.triangles;
    bytes += frame.bytes;
    splits += frame.splits;
    merges += frame.merges;
    built += frame.blocksBuilt;
    redrawn += frame.blocksRedrawn;
    refineMs += frame.refineMs;
    drawMs += frame.drawMs;
  }
  const double frames = summary.frames;
  summary.framesPerSecond = PerUnit(frames, summary.wallSeconds);
  summary.trianglesPerSecond = PerUnit(triangles, summary.wallSeconds);
  summary.trianglesPerFrame = PerUnit(triangles, frames);
  summary.bytesPerFrame = PerUnit(bytes, frames);
  summary.splitsPerFrame = PerUnit(splits, frames);
  summary.mergesPerFrame = PerUnit(merges, frames);
  summary.blocksBuiltPerFrame = PerUnit(built, frames);
  summary.blocksRedrawnPerFrame = PerUnit(redrawn, frames);
  summary.refineMsPerFrame = PerUnit(refineMs, frames);
  summary.drawMsPerFrame = PerUnit(drawMs, frames);
  SummarizeQuality(result, &summary);
  return summary;
}

#include "support/sample_bench_run.h"

#include <cmath>
#include <limits>
#include <random>
#include <utility>

MethodResult SampleMethodResult(const std::string& name, int frames, int qualityEvery, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> ms(0.1, 40.0);
  std::uniform_int_distribution<int> count(0, 500);
  MethodResult result;
  result.name = name;
  for (int i = 0; i < frames; ++i) {
    FrameSample frame;
    frame.frame = i;
    frame.refineMs = ms(random) / 3.0;
    frame.drawMs = ms(random) / 7.0;
    frame.frameMs = frame.refineMs + frame.drawMs + ms(random);
    frame.triangles = 1000.0 + count(random) * 37;
    frame.bytes = frame.triangles * 18.5;
    frame.splits = count(random);
    frame.merges = count(random);
    frame.blocksBuilt = count(random) / 10;
    frame.blocksRedrawn = count(random);
    frame.drawCalls = count(random);
    frame.driverBytes = frame.triangles * 6.25;
    result.frames.push_back(frame);
    if (qualityEvery > 0 && i % qualityEvery == 0) {
      QualitySample sample;
      sample.frame = i;
      sample.psnr = i % (3 * qualityEvery) == 0 ? std::numeric_limits<double>::infinity() : 20.0 + ms(random);
      sample.differingShare = std::isinf(sample.psnr) ? 0.0 : ms(random) / 400.0;
      result.quality.push_back(sample);
    }
  }
  result.wallSeconds = frames * 0.021;
  result.peakMemoryMiB = 50.0 + ms(random);
  return result;
}

BenchRun SampleBenchRun(std::vector<MethodResult> methods, bool rasterizerDiscard) {
  BenchRun run;
  run.terrain = "terrains/valley.png";
  run.flight = "low-pass";
  run.width = 640;
  run.height = 480;
  run.rasterizerDiscard = rasterizerDiscard;
  run.qualityThreshold = 8;
  run.methods = std::move(methods);
  return run;
}

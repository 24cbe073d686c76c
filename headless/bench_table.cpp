// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include "headless/bench_table.h"

#include <cmath>
#include <cstdio>

std::string FormatTable(const BenchRun& run) {
  std::string out = std::string("Mode: ") + (run.rasterizerDiscard ? "rasterizer discard" : "rasterizing") + ", " +
                    std::to_string(run.width) + "x" + std::to_string(run.height) + ", flight " + run.flight + "\n";
  char line[512];
  std::snprintf(line, sizeof line, "%-20s %6s %8s %10s %9s %8s %8s %8s %8s %9s %9s %8s %8s %8s\n", "method", "frames",
                "fps", "tris/frame", "KB/frame", "splits", "merges", "built", "redrawn", "refine ms", "draw ms",
                "peak MiB", "PSNR", "differ%");
  out += line;
  for (const MethodResult& m : run.methods) {
    const double n = m.frames.empty() ? 1.0 : static_cast<double>(m.frames.size());
    double tris = 0, bytes = 0, splits = 0, merges = 0, built = 0, redrawn = 0, refine = 0, draw = 0;
    for (const FrameSample& f : m.frames) {
      tris += f.triangles;
      bytes += f.bytes;
      splits += f.splits;
      merges += f.merges;
      built += f.blocksBuilt;
      redrawn += f.blocksRedrawn;
      refine += f.refineMs;
      draw += f.drawMs;
    }
    double psnr = 0, share = 0;
    for (const QualitySample& q : m.quality) {
      psnr += std::isinf(q.psnr) ? 99.0 : q.psnr;
      share += q.differingShare;
    }
    const double qn = m.quality.empty() ? 1.0 : static_cast<double>(m.quality.size());
    std::snprintf(line, sizeof line,
                  "%-20s %6zu %8.1f %10.0f %9.1f %8.1f %8.1f %8.1f %8.1f %9.2f %9.2f %8.1f %8.2f %8.2f\n",
                  m.name.c_str(), m.frames.size(), m.wallSeconds > 0 ? m.frames.size() / m.wallSeconds : 0.0,
                  tris / n, bytes / n / 1024.0, splits / n, merges / n, built / n, redrawn / n, refine / n, draw / n,
                  m.peakMemoryMiB, m.quality.empty() ? 0.0 : psnr / qn, m.quality.empty() ? 0.0 : 100.0 * share / qn);
    out += line;
  }
  return out;
}

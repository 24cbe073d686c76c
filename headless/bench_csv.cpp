// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include "headless/bench_csv.h"

#include <cstdio>

bool WriteFrameCsv(const BenchRun& run, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file, "method,frame,frame_ms,refine_ms,draw_ms,triangles,bytes,splits,merges,blocks_built,blocks_redrawn\n");
  for (const MethodResult& m : run.methods)
    for (const FrameSample& f : m.frames)
      std::fprintf(file, "%s,%d,%.4f,%.4f,%.4f,%.0f,%.0f,%d,%d,%d,%d\n", m.name.c_str(), f.frame, f.frameMs,
                   f.refineMs, f.drawMs, f.triangles, f.bytes, f.splits, f.merges, f.blocksBuilt, f.blocksRedrawn);
  return std::fclose(file) == 0;
}

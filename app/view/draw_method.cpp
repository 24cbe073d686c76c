#include "app/view/draw_method.h"

void LogRefinementStats(LogSink& log, const MethodCounters& counters, const FrameStats& stats) {
  const double frames = static_cast<double>(stats.frames);
  const MethodCounters& c = counters;
  log.Logf("%.2f merge tests, %.2f merges, %.2f split tests, %.2f splits, %.2f force splits per frame\n",
           PerUnit(static_cast<double>(c.mergeTests), frames), PerUnit(static_cast<double>(c.merges), frames),
           PerUnit(static_cast<double>(c.splitTests), frames), PerUnit(static_cast<double>(c.splits), frames),
           PerUnit(static_cast<double>(c.forceSplits), frames));
}

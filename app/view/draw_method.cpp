#include "app/view/draw_method.h"

#include <GL/gl.h>

void LogRefinementStats(LogSink& log, const MethodCounters& counters, const FrameStats& stats) {
  const double frames = static_cast<double>(stats.frames);
  const MethodCounters& c = counters;
  log.Logf("%.2f merge tests, %.2f merges, %.2f split tests, %.2f splits, %.2f force splits per frame\n",
           PerUnit(static_cast<double>(c.mergeTests), frames), PerUnit(static_cast<double>(c.merges), frames),
           PerUnit(static_cast<double>(c.splitTests), frames), PerUnit(static_cast<double>(c.splits), frames),
           PerUnit(static_cast<double>(c.forceSplits), frames));
}

Status DrawViewFrame(DrawMethod* method, const ViewState& view, FrameStats& stats) {
  if (view.currentCamera == 1 || view.currentCamera == 2)
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
  else
    glClearColor(0.4f, 0.6f, 1.0f, 0.5f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (method == nullptr) return {};
  return method->Draw(MakeFrameView(view), stats);
}

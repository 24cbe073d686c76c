#include "app/frame_loop.h"

#include <GL/gl.h>

#include "app/view/flight_file.h"
#include "app/view/frame_view.h"

namespace {

DrawMethod* Current(Shell& shell) {
  const int index = shell.current;
  return index >= 0 && index < static_cast<int>(shell.methods.size()) ? shell.methods[index].get() : nullptr;
}

// Clears the frame and lets the current method draw into it; false when there is none.
Result<bool> DrawView(Shell& shell, FrameStats& stats) {
  DrawMethod* method = Current(shell);
  Status drawn = DrawViewFrame(method, shell.view, stats);
  if (!drawn.ok()) return drawn.failure();
  return method != nullptr;
}

}  // namespace

Status DisplayFrame(Shell& shell) {
  Result<bool> drawn = DrawView(shell, shell.stats);
  if (!drawn.ok()) return drawn.failure();
  if (drawn.value()) {
    shell.stats.frames += 1;
    shell.flightRecorder.Record(PoseOf(shell.view.flight));
  }
  shell.window->SwapBuffers();
  return {};
}

Status RedrawUncounted(Shell& shell) {
  FrameStats scratch = shell.stats;
  DrawMethod* method = Current(shell);
  const MethodCounters counters = method != nullptr ? method->Counters() : MethodCounters{};
  Result<bool> drawn = DrawView(shell, scratch);
  if (method != nullptr) method->Counters() = counters;
  return drawn.ok() ? Status() : Status(drawn.failure());
}

void IdleStep(Shell& shell) {
  ViewState& view = shell.view;
  const double now = shell.clock->Milliseconds() * 0.001;
  const double dt = now - shell.idlePreviousTime;
  shell.idlePreviousTime = now;
  double stepFactor = 1.0;
  if (shell.smoothedFrameTime == 0.0) {
    if (!view.paused) shell.smoothedFrameTime = dt;
  } else {
    const double s = shell.smoothedFrameTime;
    double d = dt;
    if (dt > 2.0 * s)
      d = 2.0 * s;
    else if (dt < 0.5 * s)
      d = 0.5 * s;
    stepFactor = d / s;
    if (!view.paused) shell.smoothedFrameTime = 0.9 * s + (1.0 - 0.9) * d;
  }
  UpdateFlight(view.flight, view.pointer, view.paused, shell.terrain->field, view.speedUp * stepFactor);
  if (!view.flight.moved) {
    shell.clock->Sleep(50);
    return;
  }
  UpdateCameras(view);
  shell.window->PostRedisplay();
  view.flight.moved = false;
}

Status SetDrawMethod(Shell& shell, int index) {
  if (index == shell.current) return {};
  if (DrawMethod* old = Current(shell)) old->Deactivate();
  shell.current = index;
  if (DrawMethod* method = Current(shell)) return method->Activate(MakeFrameView(shell.view));
  return {};
}

void PrintStats(Shell& shell) {
  FrameStats& stats = shell.stats;
  const uint32_t elapsed = shell.clock->Milliseconds() - stats.clockStart;
  if (DrawMethod* method = Current(shell)) method->PrintStats(shell.log, stats);
  // No frame or no elapsed time: report the per-frame figures as 0 rather than divide by zero.
  const double framesPerSecond = elapsed == 0 ? 0.0 : stats.frames * 1000.0 / elapsed;
  const double trianglesPerFrame = stats.frames == 0 ? 0.0 : stats.triangles / stats.frames;
  // Truncated toward zero as the int it is printed as, but in 64 bits: a frame of several GiB
  // must not overflow.
  const long long bytesPerFrame = stats.frames == 0 ? 0 : static_cast<long long>(stats.bytes / stats.frames);
  shell.log.Logf("%u frames in %ums = %.2f frames/second, %.2f triangles/frame\n%lld bytes of bandwidth/frame\n",
                 stats.frames, elapsed, framesPerSecond, trianglesPerFrame, bytesPerFrame);
}

void ResetStats(Shell& shell) {
  // Every method, not only the current one: a method's counters are divided by the frames since
  // this reset when it prints them, whichever method drew those frames.
  for (const auto& method : shell.methods) method->ResetStats();
  shell.stats.frames = 0;
  shell.stats.bytes = 0.0;
  shell.stats.triangles = 0.0;
  shell.stats.clockStart = shell.clock->Milliseconds();
}

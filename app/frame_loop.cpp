#include "app/frame_loop.h"

#include <GL/gl.h>

#include <cstdlib>

#include "app/camera.h"
#include "app/clock.h"
#include "app/keys.h"
#include "app/terrain_log.h"
#include "app/window_system.h"
#include "cabtt/cabtt_state.h"
#include "roam/roam_state.h"

DrawMethod DrawMethods[kMaxDrawMethods] = {};
int DrawMethodCount = 0;
int CurrentDrawMethod = -1;
FrameStats Stats = {};
double IdlePreviousTime = 0.0;
double SmoothedFrameTime = 0.0;

namespace {

// Clears the frame and draws the current method into it; true when a method drew.
bool DrawView() {
  if (CurrentCamera == 1 || CurrentCamera == 2)
    glClearColor(1.0f, 1.0f, 1.0f, 0.5f);
  else
    glClearColor(0.4f, 0.6f, 1.0f, 0.5f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (CurrentDrawMethod < 0 || DrawMethods[CurrentDrawMethod].draw == nullptr) return false;
  DrawMethods[CurrentDrawMethod].draw();
  return true;
}

}  // namespace

void DisplayFrame() {
  if (DrawView()) Stats.frames += 1;
  Window.swapBuffers();
}

void RedrawUncounted() {
  const FrameStats stats = Stats;
  const RoamCounterSet roam = RoamCounters;
  const CabttCounterSet cabtt = CabttCounters;
  DrawView();
  Stats = stats;
  RoamCounters = roam;
  CabttCounters = cabtt;
}

void IdleStep() {
  const double now = TimeGetTime() * 0.001;
  const double dt = now - IdlePreviousTime;
  IdlePreviousTime = now;
  double stepFactor = 1.0;
  if (SmoothedFrameTime == 0.0) {
    if (!Paused) SmoothedFrameTime = dt;
  } else {
    const double s = SmoothedFrameTime;
    double d = dt;
    if (dt > 2.0 * s)
      d = 2.0 * s;
    else if (dt < 0.5 * s)
      d = 0.5 * s;
    stepFactor = d / s;
    if (!Paused) SmoothedFrameTime = 0.9 * s + (1.0 - 0.9) * d;
  }
  UpdateFlight(SpeedUp * stepFactor);
  if (!Flight.moved) {
    SleepMilliseconds(50);
    return;
  }
  UpdateCameras();
  Window.postRedisplay();
  Flight.moved = false;
}

void SetDrawMethod(int index) {
  if (index == CurrentDrawMethod) return;
  if (CurrentDrawMethod >= 0 && CurrentDrawMethod < DrawMethodCount &&
      DrawMethods[CurrentDrawMethod].deactivate != nullptr)
    DrawMethods[CurrentDrawMethod].deactivate();
  CurrentDrawMethod = index;
  if (index >= 0 && index < DrawMethodCount) {
    Window.setKeyboardHandler(DrawMethods[index].keyboard);
    if (DrawMethods[index].activate != nullptr) DrawMethods[index].activate();
  } else {
    Window.setKeyboardHandler(OnKey);
  }
}

void PrintStats() {
  const uint32_t elapsed = TimeGetTime() - Stats.clockStart;
  if (CurrentDrawMethod >= 0 && CurrentDrawMethod < DrawMethodCount &&
      DrawMethods[CurrentDrawMethod].printStats != nullptr)
    DrawMethods[CurrentDrawMethod].printStats();
  // No frame or no elapsed time: report the per-frame figures as 0 rather than divide by zero.
  const double framesPerSecond = elapsed == 0 ? 0.0 : Stats.frames * 1000.0 / elapsed;
  const double trianglesPerFrame = Stats.frames == 0 ? 0.0 : Stats.triangles / Stats.frames;
  // Truncated toward zero as the int it is printed as, but in 64 bits: a frame of several GiB
  // must not overflow.
  const long long bytesPerFrame = Stats.frames == 0 ? 0 : static_cast<long long>(Stats.bytes / Stats.frames);
  LogPrintf("%u frames in %ums = %.2f frames/second, %.2f triangles/frame\n%lld bytes of bandwidth/frame\n",
            Stats.frames, elapsed, framesPerSecond, trianglesPerFrame, bytesPerFrame);
  FlushTerrainLog();
}

void ResetStats() {
  // Every method, not only the current one: a method's counters are divided by the frames since
  // this reset when it prints them, whichever method drew those frames.
  for (int index = 0; index < DrawMethodCount; ++index)
    if (DrawMethods[index].resetStats != nullptr) DrawMethods[index].resetStats();
  Stats.frames = 0;
  Stats.bytes = 0.0;
  Stats.triangles = 0.0;
  Stats.clockStart = TimeGetTime();
}

void Quit() {
  SetDrawMethod(-1);
  CloseTerrainLog();
  std::fflush(stdout);
  std::exit(0);
}

void ResetFrameLoop() {
  for (DrawMethod& method : DrawMethods) method = DrawMethod{};
  DrawMethodCount = 0;
  CurrentDrawMethod = -1;
  Stats = FrameStats{};
  IdlePreviousTime = 0.0;
  SmoothedFrameTime = 0.0;
}

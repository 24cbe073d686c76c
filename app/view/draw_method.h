#pragma once
#include <cstdint>

#include "app/platform/failure.h"
#include "app/platform/log_sink.h"
#include "app/view/frame_view.h"

// Frames, triangles and bytes of vertex and index data drawn since the statistics were last
// reset; the drawing methods add their triangles and bytes, the frame loop the frames.
struct FrameStats {
  uint32_t frames = 0;
  double bytes = 0.0;
  double triangles = 0.0;
  uint32_t clockStart = 0;  // milliseconds, at the last reset
};

// What a drawing method has counted since its statistics were last reset. 64 bits: the counts
// grow without bound between two resets.
struct MethodCounters {
  uint64_t mergeTests = 0;
  uint64_t merges = 0;
  uint64_t splitTests = 0;
  uint64_t splits = 0;  // forced splits included
  uint64_t forceSplits = 0;
  uint64_t aggregateTrianglesDrawn = 0;  // CABTT
  uint64_t subTrianglesDrawn = 0;        // CABTT: its own share of the frame statistics' triangles
};

// A way of drawing the terrain. It owns everything it draws with (tree, queues, pools, clocks,
// geometry cache, counters) and is driven by the window's frame loop or by the benchmark:
// Activate when it becomes current, Draw once per frame, Deactivate when it stops being current
// (which gives back its cache storage and tree; its settings and counters live on).
class DrawMethod {
 public:
  virtual ~DrawMethod() = default;

  virtual Status Activate(const FrameView& view) = 0;
  // Refines for the view's eye and draws, adding the triangles and bytes drawn to stats.
  virtual Status Draw(const FrameView& view, FrameStats& stats) = 0;
  virtual void Deactivate() = 0;

  // The refinement Draw would make for the view's eye, on its own (so that the benchmark can time
  // it); Draw then finds nothing more to do for the same eye. Nothing, for a method that does not
  // refine.
  virtual Status Refine(const FrameView& /*view*/) { return {}; }

  // A key of the method's own, seen before the general keys; true when it changed the picture.
  virtual Result<bool> HandleKey(unsigned char /*key*/, const FrameView& /*view*/) { return false; }

  // The method's per-frame figures, written to the log before the common statistics line.
  virtual void PrintStats(LogSink& /*log*/, const FrameStats& /*stats*/) const {}

  virtual MethodCounters& Counters() = 0;
  void ResetStats() { Counters() = {}; }
};

// The per-frame quotient printed in the statistics: 0 rather than a division by zero when
// nothing was counted.
inline double PerUnit(double amount, double units) { return units > 0.0 ? amount / units : 0.0; }

// The bintree methods' line of tests, merges and splits per frame, to the log.
void LogRefinementStats(LogSink& log, const MethodCounters& counters, const FrameStats& stats);

// One frame of the view into the current framebuffer, as the window draws it: cleared to the sky
// of the camera it is drawn from (blue behind the flown camera, white behind the overhead ones),
// then drawn by the method (null: the sky alone). Counting and showing the frame are the caller's.
Status DrawViewFrame(DrawMethod* method, const ViewState& view, FrameStats& stats);

#pragma once
#include <memory>

#include "app/platform/log_sink.h"
#include "app/view/draw_method.h"
#include "cache/geometry_cache.h"
#include "roam/roam_draw.h"
#include "roam/roam_tree.h"
#include "terrain/terrain.h"

// Standard ROAM: the split/merge bintree refined for camera 0's eye every frame, its leaf
// triangles streamed through a fresh geometry cache (blocks of 1024 vertices written, drawn and
// given back at once). Counters: merge and split tests, merges, splits and forced splits.
class RoamMethod final : public DrawMethod {
 public:
  // The terrain and the log must outlive the method; caches come from cacheSource.
  RoamMethod(const Terrain& terrain, CacheSource cacheSource, LogSink& log);
  // The same over a field and a metric of it held apart (one metric per error weight).
  RoamMethod(const HeightField& field, const ErrorMetric& metric, CacheSource cacheSource, LogSink& log);
  ~RoamMethod() override;

  Status Activate(const FrameView& view) override;
  Status Draw(const FrameView& view, FrameStats& stats) override;
  void Deactivate() override;
  void PrintStats(LogSink& log, const FrameStats& stats) const override;
  MethodCounters& Counters() override { return counters_; }

  Status Refine(const FrameView& view) override;

  const RoamTree& tree() const { return tree_; }
  RoamTree& tree() { return tree_; }
  GeometryCache* cache() { return cache_.get(); }

 private:
  const HeightField& field_;
  CacheSource cacheSource_;
  LogSink& log_;
  MethodCounters counters_;
  std::unique_ptr<GeometryCache> cache_;
  RoamTree tree_;
  RoamStreamer streamer_;
};

#pragma once
#include <functional>
#include <memory>

#include "aggregate/aggregation_builder.h"
#include "app/platform/log_sink.h"
#include "app/view/draw_method.h"
#include "cabtt/cabtt_draw.h"
#include "cabtt/cabtt_tree.h"
#include "cache/geometry_cache.h"
#include "terrain/terrain.h"

// CABTT: a bintree whose leaves are aggregate triangles of up to 4^L sub-triangles, each drawn
// from a geometry cache block that is built once and redrawn until the leaf changes or leaves
// the view. Keys '<' and '>' change the aggregation level L, '/' the builder kind (adaptive or
// uniform); each is a complete rebuild. The level, the kind and the builder (with its error
// grid) outlive deactivation.
class CabttMethod final : public DrawMethod {
 public:
  static constexpr int kDefaultLevel = 4;

  // Where the method's aggregation builders come from (AggregationBuilder::Make unless a test
  // says otherwise).
  using BuilderSource = std::function<Result<std::unique_ptr<AggregationBuilder>>(int level, bool adaptive)>;

  // The terrain and the log must outlive the method; caches come from cacheSource.
  CabttMethod(const Terrain& terrain, CacheSource cacheSource, LogSink& log, BuilderSource builders = {});
  // The same over a field and a metric of it held apart (one metric per error weight).
  CabttMethod(const HeightField& field, const ErrorMetric& metric, CacheSource cacheSource, LogSink& log,
              BuilderSource builders = {});
  ~CabttMethod() override;

  Status Activate(const FrameView& view) override;
  Status Draw(const FrameView& view, FrameStats& stats) override;
  void Deactivate() override;
  Result<bool> HandleKey(unsigned char key, const FrameView& view) override;
  void PrintStats(LogSink& log, const FrameStats& stats) const override;
  MethodCounters& Counters() override { return counters_; }

  Status Refine(const FrameView& view) override;
  // Tears the tree down and starts again at the level (clamped to 0..n) with the builder kind.
  Status Rebuild(int level, bool adaptive, const FrameView& view);
  // The level and kind the next activation starts with (clamped to 0..n then).
  void SetAggregation(int level, bool adaptive);

  int level() const { return level_; }
  bool adaptive() const { return adaptive_; }
  const CabttTree& tree() const { return tree_; }
  CabttTree& tree() { return tree_; }
  GeometryCache* cache() { return cache_.get(); }
  AggregationBuilder* builder() { return builder_.get(); }

 private:
  Status StartTree(const FrameView& view);
  int ClampLevel(int level) const;

  const HeightField& field_;
  const ErrorMetric& metric_;
  CacheSource cacheSource_;
  LogSink& log_;
  BuilderSource builders_;
  int level_ = kDefaultLevel;
  bool adaptive_ = true;
  MethodCounters counters_;
  std::unique_ptr<GeometryCache> cache_;
  std::unique_ptr<AggregationBuilder> builder_;
  // After the cache and the builder: it is destroyed first, and its leaves give their blocks
  // back to a cache that still exists.
  CabttTree tree_;
  CabttDrawer drawer_;
};

// The line CABTT announces its cache with at activation.
const char* CachingMessage(CacheKind kind);

// Vertices of the largest block of a level, (2^L + 1)(2^L + 2) / 2, and whether 16-bit indices
// reach them all (up to level 8).
int LevelBlockVertices(int level);
bool LevelFitsIndexRange(int level);

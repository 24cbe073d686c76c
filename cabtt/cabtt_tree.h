#pragma once
#include "aggregate/aggregation_builder.h"
#include "bintree/bintree.h"
#include "cabtt/cabtt_node.h"
#include "cabtt/cabtt_queue.h"
#include "cache/geometry_cache.h"
#include "terrain/height_field.h"

// CABTT's side of the shared bintree: ordered queues, a clock that starts at -1024.0 and is rebased
// by 2048.0 once it passes 1024.0, and keys from the aggregation builder's error grid computed in
// double precision and stored as floats:
//   split key = distance from the eye to v - aggregate error of v + travel
//   merge key = travel - (distance from the eye to v - aggregate error of v)
// Its finest aggregate triangles have legs of 2^L grid cells. A leaf gives its cached block back
// to the cache when it is split or freed.
class CabttPolicy {
 public:
  using Leaf = CachedBlock;
  using Queue = CabttQueue;

  static constexpr float kTravelStart = -1024.0f;
  static constexpr float kRebaseThreshold = 1024.0f;
  static constexpr float kRebaseAmount = 2048.0f;

  explicit CabttPolicy(const HeightField& field) : field_(field) {}

  // The level, the builder whose errors give the keys, and the cache that holds the leaves'
  // blocks: set before the tree starts, and kept while it lives.
  void Use(int level, const AggregationBuilder* builder, GeometryCache* cache) {
    level_ = level;
    builder_ = builder;
    cache_ = cache;
  }

  void Start(const Point3& eye) {
    travel_ = kTravelStart;
    lastEye_ = eye;
  }
  float Advance(const Point3& eye);
  float Travel() const { return travel_; }
  float SplitKey(VertexId v) const { return static_cast<float>(DistanceBeyondError(v) + travel_); }
  float MergeKey(VertexId v) const { return static_cast<float>(travel_ - DistanceBeyondError(v)); }
  VertexId SplitVertex(VertexId a, VertexId b) const { return HypotenuseSplitVertex(a, b, field_.n, level_); }
  void RetireLeaf(CabttNode& leaf);

  // Distance from the eye to the vertex less its aggregate error.
  double DistanceBeyondError(VertexId v) const;
  int level() const { return level_; }

 private:
  const HeightField& field_;
  int level_ = 0;
  const AggregationBuilder* builder_ = nullptr;
  GeometryCache* cache_ = nullptr;
  float travel_ = kTravelStart;
  Point3 lastEye_{0.0f, 0.0f, 0.0f};
};

using CabttTree = Bintree<CabttPolicy>;

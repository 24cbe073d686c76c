#pragma once
#include "bintree/bintree.h"
#include "roam/bucket_queue.h"
#include "roam/roam_node.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// Standard ROAM's side of the shared bintree: bucketed queues, a float travel clock that starts
// at -8.0 and is rebased by 8.0 whenever it passes 8.0, and keys from the error metric:
//   split key = distance from the eye to v - error of v + travel
//   merge key = travel - (distance from the eye to v - error of v)
// all in 32-bit floats. Leaves carry nothing.
class RoamPolicy {
 public:
  using Leaf = RoamLeaf;
  using Queue = BucketQueue;

  static constexpr float kTravelStart = -8.0f;
  static constexpr float kTravelRebase = 8.0f;

  RoamPolicy(const HeightField& field, const ErrorMetric& metric) : field_(field), metric_(metric) {}

  void Start(const Point3& eye) {
    travel_ = kTravelStart;
    previousEye_ = eye;
  }
  float Advance(const Point3& eye);
  float Travel() const { return travel_; }
  float SplitKey(VertexId v) const { return DistanceBeyondError(v) + travel_; }
  float MergeKey(VertexId v) const { return travel_ - DistanceBeyondError(v); }
  VertexId SplitVertex(VertexId a, VertexId b) const { return HypotenuseSplitVertex(a, b, field_.n); }
  void RetireLeaf(RoamNode& /*leaf*/) {}

  // dist(v) - err(v) from the eye of the last update.
  float DistanceBeyondError(VertexId v) const;
  const Point3& PreviousEye() const { return previousEye_; }

 private:
  const HeightField& field_;
  const ErrorMetric& metric_;
  float travel_ = kTravelStart;
  Point3 previousEye_{0.0f, 0.0f, 0.0f};
};

using RoamTree = Bintree<RoamPolicy>;

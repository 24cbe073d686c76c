#include "roam/roam_update.h"

#include <cmath>

#include "roam/roam_state.h"
#include "terrain/error_metric.h"

namespace {

// dist(v) - err(v) from the eye of the last update.
float DistanceBeyondError(VertexId v) {
  const HeightField& field = *CurrentHeightField;
  const int x = field.GridX(v);
  const int y = field.GridY(v);
  const Point3 p = field.GridPosition(x, y);
  const float dx = RoamPreviousEye.x - p.x;
  const float dy = RoamPreviousEye.y - p.y;
  const float dz = RoamPreviousEye.z - p.z;
  const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
  return distance - CurrentErrorMetric->At(x, y);
}

// Tests every candidate of queue whose key has come due: re-files it under its new key if it
// is not due after all, else changes it (merges or splits it).
void TestDueCandidates(BucketQueue& queue, uint64_t& tests, float (*keyOf)(VertexId), void (*change)(BintreeTriangle*)) {
  while (BintreeTriangle* t = queue.PopBelow(RoamTravel)) {
    ++tests;
    const float key = keyOf(t->splitVertex);
    if (key >= RoamTravel)
      queue.Insert(t, key);
    else
      change(t);
  }
}

}  // namespace

float SplitKey(VertexId v) { return DistanceBeyondError(v) + RoamTravel; }

float MergeKey(VertexId v) { return RoamTravel - DistanceBeyondError(v); }

void StartTravel(Point3 eye) {
  RoamTravel = kTravelStart;
  RoamPreviousEye = eye;
  SplitQueue.Initialise(RoamTravel);
  MergeQueue.Initialise(RoamTravel);
}

void RoamUpdate(Point3 eye) {
  const float dx = eye.x - RoamPreviousEye.x;
  const float dy = eye.y - RoamPreviousEye.y;
  const float dz = eye.z - RoamPreviousEye.z;
  RoamTravel += std::sqrt(dx * dx + dy * dy + dz * dz);
  RoamPreviousEye = eye;
  if (RoamTravel > kTravelRebase) {
    RoamTravel -= kTravelRebase;
    MergeQueue.Rebase(kTravelRebase);
    SplitQueue.Rebase(kTravelRebase);
  }
  TestDueCandidates(MergeQueue, RoamCounters.mergeTests, MergeKey, Merge);
  TestDueCandidates(SplitQueue, RoamCounters.splitTests, SplitKey, [](BintreeTriangle* t) { Split(t, false); });
}

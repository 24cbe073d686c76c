#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/view/draw_method.h"
#include "roam/roam_tree.h"
#include "support/test_terrain.h"
#include "terrain/terrain.h"

// Standard ROAM's tree over a generated terrain, without a cache or GL: the terrain, the counters
// and the tree live together, so the tree's references stay valid.
struct RoamTreeOnTerrain {
  explicit RoamTreeOnTerrain(Terrain generated);

  // The eye clearance above the ground at (x, y).
  Point3 EyeAbove(float x, float y, float clearance) const;
  // Starts the tree at eye (a failure fails the test).
  void Start(const Point3& eye);
  // Refines for eye (a failure fails the test).
  void Refine(const Point3& eye);
  // CheckTreeInvariants of the tree.
  std::string Check() const;

  Terrain terrain;
  MethodCounters counters;
  RoamTree tree;
};

// A rough terrain of side 2^n + 1 with random errors in [0, maxError) plus offset at every vertex
// but the corners (an offset larger than every distance makes every vertex ask for a split).
// RoughTerrain gives one with the real metric.
Terrain RandomErrorTerrain(int n, uint32_t seed, float maxError, float offset = 0.0f);

// dist(eye, v) - err(v), worked out from the terrain: negative where v asks for a split.
float DistanceBeyondError(const Terrain& terrain, VertexId v, const Point3& eye);

// The nodes a queue holds, in bucket order.
std::vector<RoamNode*> FiledIn(const BucketQueue& queue);

// Splits t's leaf diamond as a frame would after taking it from the split queue.
void SplitDiamondOf(RoamTree& tree, RoamNode* t);
// Merges a diamond filed in the merge queue as a frame would.
void MergeFiled(RoamTree& tree, RoamNode* t);

// Empty when, for eye, no leaf asks for a split and no mergeable diamond asks for a merge (beyond
// a rounding tolerance), else what does.
std::string UnmetCriterion(const RoamTree& tree, const Terrain& terrain, const Point3& eye);

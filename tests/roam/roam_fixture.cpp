#include "roam_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "support/bintree_invariants.h"

namespace {

// Keys and criteria are worked out in float around a travel of at most 8: allow some rounding.
constexpr float kCriterionTolerance = 1e-4f;

bool ChildrenAreLeaves(const RoamNode* t) {
  return t->IsSplit() && t->children != nullptr && t->LeftChild()->IsLeaf() && t->RightChild()->IsLeaf();
}

}  // namespace

RoamTreeOnTerrain::RoamTreeOnTerrain(Terrain generated)
    : terrain(std::move(generated)), tree(counters, terrain.field, terrain.metric) {}

Point3 RoamTreeOnTerrain::EyeAbove(float x, float y, float clearance) const {
  return {x, y, terrain.field.SampleHeight(x, y) + clearance};
}

void RoamTreeOnTerrain::Start(const Point3& eye) {
  const Status started = tree.Start(terrain.field, eye);
  ASSERT_TRUE(started.ok()) << started.failure().message;
}

void RoamTreeOnTerrain::Refine(const Point3& eye) {
  const Status refined = tree.Refine(eye);
  ASSERT_TRUE(refined.ok()) << refined.failure().message;
}

std::string RoamTreeOnTerrain::Check() const { return CheckTreeInvariants(tree, terrain.field); }

Terrain RandomErrorTerrain(int n, uint32_t seed, float maxError, float offset) {
  HeightField field = RoughField(n, seed);
  ErrorMetric metric = RandomMetric(field, seed, maxError);
  const int N = field.N;
  for (int y = 0; y <= N; ++y)
    for (int x = 0; x <= N; ++x)
      if ((x % N != 0 || y % N != 0) && offset != 0.0f) metric.values[x + y * (N + 1)] += offset;
  return Terrain{std::move(field), std::move(metric)};
}

float DistanceBeyondError(const Terrain& terrain, VertexId v, const Point3& eye) {
  const int x = terrain.field.GridX(v);
  const int y = terrain.field.GridY(v);
  const Point3 p = terrain.field.GridPosition(x, y);
  const float dx = eye.x - p.x, dy = eye.y - p.y, dz = eye.z - p.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz) - terrain.metric.At(x, y);
}

std::vector<RoamNode*> FiledIn(const BucketQueue& queue) {
  std::vector<RoamNode*> filed;
  queue.ForEachEntry([&filed](int, RoamNode* t) { filed.push_back(t); });
  return filed;
}

void SplitDiamondOf(RoamTree& tree, RoamNode* t) {
  RoamNode* filed = t->key != kNotQueued ? t : t->baseNeighbour;
  ASSERT_NE(filed, nullptr);
  ASSERT_TRUE(tree.splitQueue().Remove(filed));
  tree.Split(filed, false);
}

void MergeFiled(RoamTree& tree, RoamNode* t) {
  ASSERT_TRUE(tree.mergeQueue().Remove(t));
  tree.Merge(t);
}

std::string UnmetCriterion(const RoamTree& tree, const Terrain& terrain, const Point3& eye) {
  for (const TreeLeaf<RoamNode>& leaf : CollectLeaves(tree)) {
    const RoamNode* t = leaf.node;
    if (t->splitVertex != -1 && DistanceBeyondError(terrain, t->splitVertex, eye) < -kCriterionTolerance)
      return "a leaf at depth " + std::to_string(leaf.depth) + " should have been split";
    if (leaf.depth == 0) continue;
    const RoamNode* p = t->parent;
    const RoamNode* q = p->baseNeighbour;
    const bool mergeable = ChildrenAreLeaves(p) && (q == nullptr || ChildrenAreLeaves(q));
    if (mergeable && DistanceBeyondError(terrain, p->splitVertex, eye) > kCriterionTolerance)
      return "a diamond at depth " + std::to_string(leaf.depth - 1) + " should have been merged";
  }
  return "";
}

// A frame's refinement: the travel clock, the keys against it, and the mesh it leaves, through
// random flights that check every invariant after every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "roam/roam_tree.h"
#include "roam_fixture.h"
#include "support/bintree_invariants.h"
#include "support/random_flight.h"

namespace {

// Flies frames frames of a random flight; after each refinement the tree, the queues and the
// keys must hold (no key below the travel), and every criterionEvery frames the mesh must meet
// the distance criterion everywhere.
void Fly(RoamTreeOnTerrain& roam, uint32_t seed, int frames, int criterionEvery) {
  RandomFlight flight(roam.terrain.field, seed);
  roam.Start(flight.Next());
  int rebases = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const Point3 eye = flight.Next();
    const float before = roam.tree.policy.Travel();
    roam.Refine(eye);
    const float travel = roam.tree.policy.Travel();
    if (travel < before) ++rebases;
    ASSERT_GE(travel, before - RoamPolicy::kTravelRebase) << "frame " << frame;
    ASSERT_LE(travel, RoamPolicy::kTravelRebase) << "frame " << frame;
    ASSERT_EQ(roam.Check(), "") << "frame " << frame;
    ASSERT_EQ(CheckSettled(roam.tree), "") << "frame " << frame;
    if (frame % criterionEvery == 0) {
      ASSERT_EQ(UnmetCriterion(roam.tree, roam.terrain, eye), "") << "frame " << frame;
    }
  }
  EXPECT_GT(rebases, 0);
  EXPECT_GT(roam.counters.merges, 0u);
  EXPECT_GT(roam.counters.splits, 0u);
}

// One frame from the two top triangles refines all the way down where the eye is close.
TEST(RoamRefineTest, OneFrameRefinesFromTheTopDownToTheCriterion) {
  RoamTreeOnTerrain roam(RoughTerrain(7, 4, 0.05f));
  const Point3 eye = roam.EyeAbove(0.45f, 0.55f, 0.005f);
  roam.Start(eye);
  roam.Refine(eye);
  EXPECT_EQ(roam.Check(), "");
  EXPECT_EQ(CheckSettled(roam.tree), "");
  EXPECT_EQ(UnmetCriterion(roam.tree, roam.terrain, eye), "");
  int deepest = 0;
  for (const auto& leaf : CollectLeaves(roam.tree)) deepest = std::max(deepest, leaf.depth);
  EXPECT_EQ(deepest, 2 * 7);
}

TEST(RoamRefineTest, AStillCameraTestsNothingMore) {
  RoamTreeOnTerrain roam(RoughTerrain(6, 4));
  const Point3 eye = roam.EyeAbove(0.5f, 0.5f, 0.01f);
  roam.Start(eye);
  roam.Refine(eye);
  const MethodCounters settled = roam.counters;
  const size_t leaves = CollectLeaves(roam.tree).size();
  const float travel = roam.tree.policy.Travel();
  for (int frame = 0; frame < 5; ++frame) roam.Refine(eye);
  EXPECT_EQ(roam.tree.policy.Travel(), travel);
  EXPECT_EQ(roam.counters.splitTests, settled.splitTests);
  EXPECT_EQ(roam.counters.mergeTests, settled.mergeTests);
  EXPECT_EQ(roam.counters.splits, settled.splits);
  EXPECT_EQ(CollectLeaves(roam.tree).size(), leaves);
}

// The travel passing 8 (7.9 -> 8.3) takes 8 off the travel, the queues' bases and every key
// together: keys not tested in that frame end exactly 8 lower, and the mesh still meets the
// criterion.
TEST(RoamRefineTest, TheTravelPassing8RebasesTravelBasesAndKeysTogether) {
  RoamTreeOnTerrain roam(RoughTerrain(5, 6));
  const Point3 low = roam.EyeAbove(0.5f, 0.5f, 0.02f);
  auto raised = [low](float by) { return Point3{low.x, low.y, low.z + by}; };
  RoamTree& tree = roam.tree;
  roam.Start(low);
  // Up and down by 0.4 until the travel stands at 7.6, then 0.3 more to 7.9.
  for (int step = 1; step <= 39; ++step) roam.Refine(step % 2 == 1 ? raised(0.4f) : low);
  roam.Refine(raised(0.7f));
  ASSERT_NEAR(tree.policy.Travel(), 7.9f, 1e-4f);
  std::map<const RoamNode*, float> keys;
  for (const BucketQueue* queue : {&tree.splitQueue(), &tree.mergeQueue()})
    queue->ForEachEntry([&keys](int, const RoamNode* t) { keys[t] = t->key; });

  roam.Refine(raised(0.3f));
  EXPECT_NEAR(tree.policy.Travel(), 0.3f, 1e-4f);
  for (const BucketQueue* queue : {&tree.splitQueue(), &tree.mergeQueue()}) {
    EXPECT_LE(queue->Base(), tree.policy.Travel());
    EXPECT_GT(queue->Base(), tree.policy.Travel() - 1.0f / BucketQueue::kBucketsPerUnit);
  }
  // Every entry filed before either moved down by exactly 8 or was tested and filed anew.
  int moved = 0;
  for (const BucketQueue* queue : {&tree.splitQueue(), &tree.mergeQueue()}) {
    const bool splitting = queue == &tree.splitQueue();
    queue->ForEachEntry([&](int, const RoamNode* t) {
      auto it = keys.find(t);
      if (it == keys.end()) return;
      const float fresh = splitting ? tree.policy.SplitKey(t->splitVertex) : tree.policy.MergeKey(t->splitVertex);
      if (t->key == it->second - RoamPolicy::kTravelRebase)
        ++moved;
      else
        EXPECT_EQ(t->key, fresh);
    });
  }
  EXPECT_GT(moved, 0);
  EXPECT_EQ(roam.Check(), "");
  EXPECT_EQ(CheckSettled(tree), "");
  EXPECT_EQ(UnmetCriterion(roam.tree, roam.terrain, raised(0.3f)), "");
}

// Errors of the size of the distances, so that leaves split and merge all the time.
TEST(RoamRefineTest, RandomFlightsOverSmallTerrainsKeepEveryInvariant) {
  for (int n : {1, 2, 4}) {
    SCOPED_TRACE("side " + std::to_string((1 << n) + 1));
    RoamTreeOnTerrain roam(RandomErrorTerrain(n, 21, 0.6f));
    Fly(roam, 100 + n, 3000, 1);
  }
}

TEST(RoamRefineTest, RandomFlightsOverA257TerrainKeepEveryInvariant) {
  RoamTreeOnTerrain roam(RoughTerrain(8, 8, 0.01f));
  Fly(roam, 6, 3000, 50);
}

TEST(RoamRefineTest, RandomFlightOverA1025TerrainKeepsEveryInvariant) {
  RoamTreeOnTerrain roam(RoughTerrain(10, 3, 0.01f));
  Fly(roam, 8, 2000, 100);
}

}  // namespace

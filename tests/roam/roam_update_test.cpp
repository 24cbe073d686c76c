#include "roam/roam_update.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "support/roam_fixture.h"
#include "support/roam_flight.h"
#include "support/roam_invariants.h"
#include "support/test_terrain.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

namespace {

// Keys are lower bounds computed in float around a travel of at most 8: allow some rounding.
constexpr float kTolerance = 1e-4f;

// Empty when no filed key lies below the travel.
std::string DueKeys() {
  std::string found;
  auto check = [&found](const char* queue) {
    return [&found, queue](int, const BintreeTriangle* t) {
      if (found.empty() && t->key < RoamTravel)
        found = std::string(queue) + " key " + std::to_string(t->key) + " below travel " + std::to_string(RoamTravel);
    };
  };
  SplitQueue.ForEachEntry(check("split"));
  MergeQueue.ForEachEntry(check("merge"));
  return found;
}

// Empty when no leaf asks for a split and no mergeable diamond asks for a merge at eye.
std::string UnmetCriterion(Point3 eye) {
  for (const RoamLeaf& leaf : CollectRoamLeaves()) {
    const BintreeTriangle* t = leaf.triangle;
    if (t->splitVertex != -1 && DistanceBeyondError(t->splitVertex, eye) < -kTolerance)
      return "a leaf at depth " + std::to_string(leaf.depth) + " should have been split";
    const BintreeTriangle* p = t->parent;
    const bool parentMergeable = p->children != nullptr && p->children->left.IsLeaf() && p->children->right.IsLeaf() &&
                                 (p->baseNeighbour == nullptr ||
                                  (p->baseNeighbour->children != nullptr && p->baseNeighbour->children->left.IsLeaf() &&
                                   p->baseNeighbour->children->right.IsLeaf()));
    if (p->splitVertex != -1 && leaf.depth > 0 && parentMergeable && DistanceBeyondError(p->splitVertex, eye) > kTolerance)
      return "a diamond at depth " + std::to_string(leaf.depth - 1) + " should have been merged";
  }
  return "";
}

class RoamUpdateTest : public RoamTreeTest {
 protected:
  // Flies frames frames; after each update the tree, the queues and the keys must hold, and
  // every criterionEvery frames the mesh must meet the distance criterion everywhere.
  void Fly(uint32_t seed, int frames, int criterionEvery) {
    RoamFlight flight(seed);
    int rebases = 0;
    for (int frame = 0; frame < frames; ++frame) {
      const Point3 eye = flight.Next();
      const float before = RoamTravel;
      RoamUpdate(eye);
      if (RoamTravel < before) ++rebases;
      ASSERT_LE(RoamTravel, kTravelRebase) << "frame " << frame;
      ASSERT_EQ(CheckRoamInvariants(), "") << "frame " << frame;
      ASSERT_EQ(DueKeys(), "") << "frame " << frame;
      if (frame % criterionEvery == 0) {
        ASSERT_EQ(UnmetCriterion(eye), "") << "frame " << frame;
      }
    }
    EXPECT_GT(rebases, 0);
    EXPECT_GT(RoamCounters.merges, 0);
    EXPECT_GT(RoamCounters.splits, 0);
  }
};

TEST_F(RoamUpdateTest, OneFrameMeetsTheCriterionOnARealMetric) {
  UseMetricTerrain(7, 4, 0.05f);
  const Point3 eye = EyeAbove(0.45f, 0.55f, 0.005f);
  StartRoamTree(eye);
  RoamUpdate(eye);
  EXPECT_EQ(CheckRoamInvariants(), "");
  EXPECT_EQ(DueKeys(), "");
  EXPECT_EQ(UnmetCriterion(eye), "");
  // Close to the eye the mesh reaches the finest level.
  int deepest = 0;
  for (const RoamLeaf& leaf : CollectRoamLeaves()) deepest = std::max(deepest, leaf.depth);
  EXPECT_EQ(deepest, 2 * 7);
}

TEST_F(RoamUpdateTest, ACameraAtRestDoesNoFurtherWork) {
  UseMetricTerrain(6, 4, 0.1f);
  const Point3 eye = EyeAbove(0.5f, 0.5f, 0.01f);
  StartRoamTree(eye);
  RoamUpdate(eye);
  const RoamCounterSet settled = RoamCounters;
  const size_t leaves = CollectRoamLeaves().size();
  const float travel = RoamTravel;
  for (int frame = 0; frame < 5; ++frame) RoamUpdate(eye);
  EXPECT_EQ(RoamTravel, travel);
  EXPECT_EQ(RoamCounters.splitTests, settled.splitTests);
  EXPECT_EQ(RoamCounters.mergeTests, settled.mergeTests);
  EXPECT_EQ(CollectRoamLeaves().size(), leaves);
}

TEST_F(RoamUpdateTest, TravelPassing8MovesTravelBasesAndKeysDownTogether) {
  UseMetricTerrain(5, 6, 0.1f);
  const Point3 low = EyeAbove(0.5f, 0.5f, 0.02f);
  auto raised = [low](float by) { return Point3{low.x, low.y, low.z + by}; };
  StartRoamTree(low);
  // Up and down by 0.4 until the travel stands at 7.6, then 0.3 more to 7.9.
  for (int step = 1; step <= 39; ++step) RoamUpdate(step % 2 == 1 ? raised(0.4f) : low);
  RoamUpdate(raised(0.7f));
  ASSERT_NEAR(RoamTravel, 7.9f, 1e-4f);
  std::map<const BintreeTriangle*, float> keys;
  SplitQueue.ForEachEntry([&keys](int, const BintreeTriangle* t) { keys[t] = t->key; });
  MergeQueue.ForEachEntry([&keys](int, const BintreeTriangle* t) { keys[t] = t->key; });

  RoamUpdate(raised(0.3f));
  EXPECT_NEAR(RoamTravel, 0.3f, 1e-4f);
  for (const BucketQueue* queue : {&SplitQueue, &MergeQueue}) {
    EXPECT_LE(queue->Base(), RoamTravel);
    EXPECT_GT(queue->Base(), RoamTravel - 1.0f / 8192.0f);
  }
  // Keys not tested in this frame moved down by exactly 8; the rest were filed anew.
  int moved = 0;
  auto compare = [&](int, const BintreeTriangle* t) {
    auto it = keys.find(t);
    if (it != keys.end() && t->key == it->second - 8.0f) ++moved;
  };
  SplitQueue.ForEachEntry(compare);
  MergeQueue.ForEachEntry(compare);
  EXPECT_GT(moved, 0);
  EXPECT_EQ(CheckRoamInvariants(), "");
  EXPECT_EQ(DueKeys(), "");
  EXPECT_EQ(UnmetCriterion(raised(0.3f)), "");
}

TEST_F(RoamUpdateTest, RandomFlightsOverSmallTerrainsKeepEveryInvariant) {
  for (int n : {1, 2, 4}) {
    SCOPED_TRACE("side " + std::to_string((1 << n) + 1));
    // Errors of the size of the distances, so that leaves split and merge all the time.
    UseRandomErrorTerrain(n, 21, 0.6f);
    RoamFlight flight(n);
    StartRoamTree(flight.Next());
    Fly(100 + n, 3000, 1);
    StopRoamTree();
    RemoveTestTerrain();
    RoamCounters = {};
  }
}

TEST_F(RoamUpdateTest, RandomFlightsOverA257TerrainKeepEveryInvariant) {
  UseMetricTerrain(8, 8, 0.01f);
  RoamFlight flight(5);
  StartRoamTree(flight.Next());
  Fly(6, 3000, 50);
}

TEST_F(RoamUpdateTest, RandomFlightOverA1025TerrainKeepsEveryInvariant) {
  UseMetricTerrain(10, 3, 0.01f);
  RoamFlight flight(7);
  StartRoamTree(flight.Next());
  Fly(8, 2000, 100);
}

}  // namespace

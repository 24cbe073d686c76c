#include "roam/bintree.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"
#include "support/roam_fixture.h"
#include "support/roam_invariants.h"
#include "support/test_terrain.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

namespace {

BintreeTriangle* BaseTriangle(int i) { return &RoamRoots[i].triangle.children->left; }

std::vector<BintreeTriangle*> Filed(const BucketQueue& queue) {
  std::vector<BintreeTriangle*> filed;
  queue.ForEachEntry([&](int, BintreeTriangle* t) { filed.push_back(t); });
  return filed;
}

// Splits t's leaf diamond as the per-frame loop would after taking it from the SplitQueue.
void SplitDiamondOf(BintreeTriangle* t) {
  BintreeTriangle* filed = t->key != kUnfiledKey ? t : t->baseNeighbour;
  SplitQueue.Remove(filed);
  Split(filed, false);
}

// Merges a diamond filed in the MergeQueue as the per-frame loop would.
void MergeFiled(BintreeTriangle* t) {
  MergeQueue.Remove(t);
  Merge(t);
}

// The leaf whose triangle contains grid point (x, y) nearest to its interior.
BintreeTriangle* LeafContaining(float x, float y) {
  const HeightField& field = *CurrentHeightField;
  for (const RoamLeaf& leaf : CollectRoamLeaves()) {
    auto px = [&](VertexId v) { return field.GridX(v) * field.spacing; };
    auto py = [&](VertexId v) { return field.GridY(v) * field.spacing; };
    auto side = [&](VertexId a, VertexId b) { return (px(b) - px(a)) * (y - py(a)) - (py(b) - py(a)) * (x - px(a)); };
    if (side(leaf.apex, leaf.left) >= 0 && side(leaf.left, leaf.right) >= 0 && side(leaf.right, leaf.apex) >= 0)
      return const_cast<BintreeTriangle*>(leaf.triangle);
  }
  return nullptr;
}

class BintreeTest : public RoamTreeTest {};

TEST_F(BintreeTest, ActivationBuildsTheBaseDiamondWithBase0Filed) {
  UseMetricTerrain(2, 1, 0.1f);
  const Point3 eye = EyeAbove(0.3f, 0.6f, 0.05f);
  StartRoamTree(eye);
  const HeightField& field = *CurrentHeightField;
  const VertexId centre = field.Id(2, 2);
  BintreeTriangle* base0 = BaseTriangle(0);
  BintreeTriangle* base1 = BaseTriangle(1);
  EXPECT_EQ(RoamRoots[0].leftCorner, field.Id(0, 0));
  EXPECT_EQ(RoamRoots[0].rightCorner, field.Id(4, 4));
  EXPECT_EQ(RoamRoots[0].triangle.splitVertex, field.Id(0, 4));
  EXPECT_EQ(RoamRoots[1].leftCorner, field.Id(4, 4));
  EXPECT_EQ(RoamRoots[1].rightCorner, field.Id(0, 0));
  EXPECT_EQ(RoamRoots[1].triangle.splitVertex, field.Id(4, 0));
  EXPECT_EQ(base0->splitVertex, centre);
  EXPECT_EQ(base1->splitVertex, centre);
  EXPECT_EQ(base0->baseNeighbour, base1);
  EXPECT_EQ(base1->baseNeighbour, base0);
  EXPECT_EQ(base0->key, DistanceBeyondError(centre, eye) + kTravelStart);
  EXPECT_EQ(base1->key, kUnfiledKey);
  EXPECT_EQ(SplitQueue.Size(), 1);
  EXPECT_EQ(MergeQueue.Size(), 0);
  EXPECT_EQ(CheckRoamInvariants(), "");
}

TEST_F(BintreeTest, SplitVertexIsThePackedMeanOrNoneOnACellDiagonal) {
  UseMetricTerrain(3, 1, 0.1f);
  const HeightField& field = *CurrentHeightField;
  EXPECT_EQ(SplitVertexOf(field.Id(0, 0), field.Id(8, 8)), field.Id(4, 4));
  EXPECT_EQ(SplitVertexOf(field.Id(8, 0), field.Id(0, 0)), field.Id(4, 0));
  EXPECT_EQ(SplitVertexOf(field.Id(2, 6), field.Id(2, 4)), field.Id(2, 5));
  EXPECT_EQ(SplitVertexOf(field.Id(3, 3), field.Id(4, 4)), -1);
  EXPECT_EQ(SplitVertexOf(field.Id(4, 3), field.Id(3, 4)), -1);
  EXPECT_EQ(SplitVertexOf(field.Id(8, 7), field.Id(7, 8)), -1);
}

TEST_F(BintreeTest, GridOfSide2HasNothingToSplit) {
  UseRandomErrorTerrain(0, 3, 10.0f);
  StartRoamTree(EyeAbove(0.5f, 0.5f, 0.01f));
  EXPECT_EQ(BaseTriangle(0)->splitVertex, -1);
  EXPECT_EQ(SplitQueue.Size(), 0);
  RoamUpdate(EyeAbove(0.4f, 0.5f, 0.01f));
  EXPECT_EQ(RoamCounters.splits, 0);
  EXPECT_EQ(CheckRoamInvariants(), "");
}

TEST_F(BintreeTest, GridOfSide3RefinesToEightHalfCellsAndEmptiesTheSplitQueue) {
  UseRandomErrorTerrain(1, 3, 1.0f);
  for (int i = 0; i < 9; ++i) CurrentErrorMetric->values[i] += 10.0f;  // every vertex wants a split
  StartRoamTree(EyeAbove(0.5f, 0.5f, 0.01f));
  RoamUpdate(EyeAbove(0.5f, 0.5f, 0.01f));
  const std::vector<RoamLeaf> leaves = CollectRoamLeaves();
  ASSERT_EQ(leaves.size(), 8u);
  for (const RoamLeaf& leaf : leaves) {
    EXPECT_EQ(leaf.depth, 2);
    EXPECT_EQ(leaf.triangle->splitVertex, -1);
  }
  EXPECT_EQ(SplitQueue.Size(), 0);
  EXPECT_EQ(MergeQueue.Size(), 4);  // the four border triangles of level 1
  EXPECT_EQ(RoamCounters.splits, 5);
  EXPECT_EQ(RoamCounters.forceSplits, 0);
  EXPECT_EQ(CheckRoamInvariants(), "");
  // The children of the bases are split at the midpoints of the square's edges.
  const HeightField& field = *CurrentHeightField;
  EXPECT_EQ(BaseTriangle(0)->children->left.splitVertex, field.Id(0, 1));
  EXPECT_EQ(BaseTriangle(0)->children->right.splitVertex, field.Id(1, 2));
}

TEST_F(BintreeTest, BorderTriangleSplitsAloneAndACoarserBaseNeighbourIsForcedFirst) {
  UseRandomErrorTerrain(2, 3, 0.001f);
  StartRoamTree(EyeAbove(0.5f, 0.5f, 1.0f));
  SplitDiamondOf(BaseTriangle(0));
  EXPECT_EQ(CheckRoamInvariants(), "");
  BintreeTriangle* border = &BaseTriangle(0)->children->left;
  const int splits = RoamCounters.splits;
  SplitDiamondOf(border);
  EXPECT_EQ(RoamCounters.splits, splits + 1);
  EXPECT_EQ(RoamCounters.forceSplits, 0);
  EXPECT_EQ(border->children->left.rightNeighbour, nullptr);
  EXPECT_EQ(border->children->right.leftNeighbour, nullptr);
  EXPECT_EQ(CheckRoamInvariants(), "");
  // The right child's hypotenuse is the leg shared with the other level-1 triangle.
  BintreeTriangle* inner = &border->children->right;
  BintreeTriangle* coarser = inner->baseNeighbour;
  ASSERT_NE(coarser, nullptr);
  ASSERT_NE(coarser->baseNeighbour, inner);
  ASSERT_TRUE(coarser->IsLeaf());
  SplitDiamondOf(inner);
  EXPECT_EQ(RoamCounters.splits, splits + 3);
  EXPECT_EQ(RoamCounters.forceSplits, 1);
  EXPECT_TRUE(coarser->IsSplit());
  EXPECT_EQ(CheckRoamInvariants(), "");
}

TEST_F(BintreeTest, ForcedSplitsCascadeTowardsCoarserLevels) {
  UseRandomErrorTerrain(5, 3, 0.001f);
  StartRoamTree(EyeAbove(0.5f, 0.5f, 1.0f));
  int longestCascade = 0;
  for (;;) {
    BintreeTriangle* leaf = LeafContaining(0.3f, 0.2f);
    ASSERT_NE(leaf, nullptr);
    if (leaf->splitVertex == -1) break;
    const uint64_t before = RoamCounters.forceSplits;
    SplitDiamondOf(leaf);
    longestCascade = std::max(longestCascade, static_cast<int>(RoamCounters.forceSplits - before));
    ASSERT_EQ(CheckRoamInvariants(), "");
  }
  EXPECT_GE(longestCascade, 2);
}

TEST_F(BintreeTest, MergingEverythingReturnsToTheBaseDiamond) {
  UseRandomErrorTerrain(3, 5, 0.001f);
  StartRoamTree(EyeAbove(0.5f, 0.5f, 1.0f));
  for (int i = 0; i < 40 && SplitQueue.Size() > 0; ++i) SplitDiamondOf(Filed(SplitQueue).front());
  ASSERT_GT(RoamPairPool.PairsInUse(), 10);
  ASSERT_EQ(CheckRoamInvariants(), "");
  int merges = 0;
  while (MergeQueue.Size() > 0) {
    MergeFiled(Filed(MergeQueue).front());
    ++merges;
    ASSERT_EQ(CheckRoamInvariants(), "");
  }
  EXPECT_EQ(RoamCounters.merges, merges);
  EXPECT_EQ(CollectRoamLeaves().size(), 2u);
  EXPECT_EQ(RoamPairPool.PairsInUse(), 2);
  EXPECT_EQ(SplitQueue.Size(), 1);
  EXPECT_NE(BaseTriangle(0)->key == kUnfiledKey, BaseTriangle(1)->key == kUnfiledKey);
}

// Arbitrary sequences of splits and merges, whatever the distances, keep every invariant.
TEST_F(BintreeTest, RandomSplitsAndMergesKeepTheInvariants) {
  struct Case {
    int n;
    int operations;
    int checkEvery;
  };
  for (const Case c : {Case{1, 200, 1}, Case{2, 1000, 1}, Case{4, 3000, 1}, Case{8, 4000, 50}}) {
    SCOPED_TRACE("side " + std::to_string((1 << c.n) + 1));
    UseRandomErrorTerrain(c.n, 11, 0.001f);
    StartRoamTree(EyeAbove(0.5f, 0.5f, 1.0f));
    std::mt19937 random(c.n);
    for (int op = 0; op < c.operations; ++op) {
      // Lean towards splitting early and towards merging late, so the mesh grows and shrinks.
      const double splitChance = op < c.operations / 2 ? 0.7 : 0.35;
      const bool split = std::uniform_real_distribution<double>(0, 1)(random) < splitChance;
      const std::vector<BintreeTriangle*> candidates = Filed(split ? SplitQueue : MergeQueue);
      if (candidates.empty()) continue;
      BintreeTriangle* t = candidates[std::uniform_int_distribution<size_t>(0, candidates.size() - 1)(random)];
      if (split)
        SplitDiamondOf(t);
      else
        MergeFiled(t);
      if (op % c.checkEvery == 0) {
        ASSERT_EQ(CheckRoamInvariants(), "") << "after operation " << op;
      }
    }
    ASSERT_EQ(CheckRoamInvariants(), "");
    EXPECT_GT(RoamCounters.merges, 0);
    if (c.n >= 2) {
      EXPECT_GT(RoamCounters.forceSplits, 0);  // side 3 has only border triangles
    }
    StopRoamTree();
    RemoveTestTerrain();
    RoamCounters = {};
  }
}

TEST_F(BintreeTest, TheCheckerCatchesBrokenLinksKeysAndQueues) {
  UseRandomErrorTerrain(4, 5, 0.001f);
  StartRoamTree(EyeAbove(0.5f, 0.5f, 1.0f));
  for (int i = 0; i < 60; ++i) SplitDiamondOf(Filed(SplitQueue)[static_cast<size_t>(i * 7) % SplitQueue.Size()]);
  ASSERT_EQ(CheckRoamInvariants(), "");
  std::vector<RoamLeaf> leaves = CollectRoamLeaves();
  BintreeTriangle* leaf = const_cast<BintreeTriangle*>(leaves[leaves.size() / 2].triangle);
  BintreeTriangle* other = const_cast<BintreeTriangle*>(leaves[leaves.size() / 3].triangle);

  BintreeTriangle* saved = leaf->leftNeighbour;
  leaf->leftNeighbour = other;
  EXPECT_NE(CheckRoamInvariants(), "");
  leaf->leftNeighbour = saved;

  saved = leaf->baseNeighbour;
  leaf->baseNeighbour = nullptr;
  EXPECT_NE(CheckRoamInvariants(), "");
  leaf->baseNeighbour = saved;
  ASSERT_EQ(CheckRoamInvariants(), "");

  // A split diamond whose partner forgets it.
  BintreeTriangle* split = BaseTriangle(0);
  split->baseNeighbour = nullptr;
  EXPECT_NE(CheckRoamInvariants(), "");
  split->baseNeighbour = BaseTriangle(1);

  // A filed triangle that claims to be unfiled, and an unfiled one that claims a key.
  BintreeTriangle* filed = Filed(SplitQueue).front();
  const float key = filed->key;
  filed->key = kUnfiledKey;
  EXPECT_NE(CheckRoamInvariants(), "");
  filed->key = key;
  BintreeTriangle* unfiled = BaseTriangle(0)->key == kUnfiledKey ? BaseTriangle(0) : BaseTriangle(1);
  unfiled->key = 0.5f;
  EXPECT_NE(CheckRoamInvariants(), "");
  unfiled->key = kUnfiledKey;
  ASSERT_EQ(CheckRoamInvariants(), "");

  // A leaf diamond filed by both halves.
  for (const RoamLeaf& l : leaves) {
    BintreeTriangle* t = const_cast<BintreeTriangle*>(l.triangle);
    if (t->key == kUnfiledKey && t->splitVertex != -1 && t->baseNeighbour != nullptr && t->baseNeighbour->baseNeighbour == t) {
      SplitQueue.Insert(t, 1.0f);
      EXPECT_NE(CheckRoamInvariants(), "");
      SplitQueue.Remove(t);
      t->key = kUnfiledKey;
      break;
    }
  }
  ASSERT_EQ(CheckRoamInvariants(), "");

  // A mergeable diamond missing from the MergeQueue.
  BintreeTriangle* mergeable = Filed(MergeQueue).front();
  MergeQueue.Remove(mergeable);
  mergeable->key = kUnfiledKey;
  EXPECT_NE(CheckRoamInvariants(), "");
  MergeQueue.Insert(mergeable, 1.0f);
  ASSERT_EQ(CheckRoamInvariants(), "");

  // A pair lost from the tree.
  TrianglePair* lost = RoamPairPool.Take();
  EXPECT_NE(CheckRoamInvariants(), "");
  RoamPairPool.Give(lost);
  EXPECT_EQ(CheckRoamInvariants(), "");
}

TEST_F(BintreeTest, StoppingGivesBackEveryPairAndBlock) {
  UseRandomErrorTerrain(4, 5, 0.001f);
  StartRoamTree(EyeAbove(0.5f, 0.5f, 1.0f));
  for (int i = 0; i < 100 && SplitQueue.Size() > 0; ++i) SplitDiamondOf(Filed(SplitQueue).back());
  StopRoamTree();
  EXPECT_EQ(RoamRoots, nullptr);
  EXPECT_EQ(RoamPairPool.PairsInUse(), 0);
  EXPECT_EQ(RoamPairPool.BlockCount(), 0);
  EXPECT_EQ(SplitQueue.Size(), 0);
  EXPECT_EQ(MergeQueue.Size(), 0);
}

}  // namespace

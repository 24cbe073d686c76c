// The shared split/merge core as Standard ROAM uses it: splits with their forced cascades, merges,
// the smallest grids and the border, checked against every invariant after each operation.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "roam/roam_tree.h"
#include "roam_fixture.h"
#include "support/bintree_invariants.h"

namespace {

RoamNode* Top(RoamTree& tree, int i) { return tree.root(i).Top(); }

// The leaf whose triangle holds the point (x, y) of the unit square.
RoamNode* LeafContaining(const RoamTreeOnTerrain& roam, float x, float y) {
  const HeightField& field = roam.terrain.field;
  for (const TreeLeaf<RoamNode>& leaf : CollectLeaves(roam.tree)) {
    auto px = [&](VertexId v) { return field.GridX(v) * field.spacing; };
    auto py = [&](VertexId v) { return field.GridY(v) * field.spacing; };
    auto side = [&](VertexId a, VertexId b) { return (px(b) - px(a)) * (y - py(a)) - (py(b) - py(a)) * (x - px(a)); };
    if (side(leaf.apex, leaf.left) >= 0 && side(leaf.left, leaf.right) >= 0 && side(leaf.right, leaf.apex) >= 0)
      return const_cast<RoamNode*>(leaf.node);
  }
  return nullptr;
}

TEST(RoamTreeTest, AGridOfSide2HasNothingToSplit) {
  RoamTreeOnTerrain roam(RandomErrorTerrain(0, 3, 10.0f));
  roam.Start(roam.EyeAbove(0.5f, 0.5f, 0.01f));
  EXPECT_EQ(Top(roam.tree, 0)->splitVertex, -1);
  EXPECT_EQ(roam.tree.splitQueue().Size(), 0);
  roam.Refine(roam.EyeAbove(0.4f, 0.5f, 0.01f));
  EXPECT_EQ(roam.counters.splits, 0u);
  EXPECT_EQ(CollectLeaves(roam.tree).size(), 2u);
  EXPECT_EQ(roam.Check(), "");
}

// Every vertex asks for a split: the 3 x 3 grid ends as its eight half cells, nothing left to split.
TEST(RoamTreeTest, AGridOfSide3RefinesToEightHalfCells) {
  RoamTreeOnTerrain roam(RandomErrorTerrain(1, 3, 1.0f, 10.0f));
  const Point3 eye = roam.EyeAbove(0.5f, 0.5f, 0.01f);
  roam.Start(eye);
  roam.Refine(eye);
  const auto leaves = CollectLeaves(roam.tree);
  ASSERT_EQ(leaves.size(), 8u);
  for (const auto& leaf : leaves) {
    EXPECT_EQ(leaf.depth, 2);
    EXPECT_EQ(leaf.node->splitVertex, -1);
  }
  EXPECT_EQ(roam.tree.splitQueue().Size(), 0);
  EXPECT_EQ(roam.Check(), "");
  EXPECT_EQ(UnmetCriterion(roam.tree, roam.terrain, eye), "");
}

TEST(RoamTreeTest, ABorderTriangleSplitsAloneAndACoarserBaseNeighbourIsForcedFirst) {
  RoamTreeOnTerrain roam(RandomErrorTerrain(2, 3, 0.001f));
  RoamTree& tree = roam.tree;
  roam.Start(roam.EyeAbove(0.5f, 0.5f, 1.0f));
  SplitDiamondOf(tree, Top(tree, 0));
  ASSERT_EQ(roam.Check(), "");
  RoamNode* border = Top(tree, 0)->LeftChild();
  ASSERT_EQ(border->baseNeighbour, nullptr);
  const uint64_t splits = roam.counters.splits;
  SplitDiamondOf(tree, border);
  EXPECT_EQ(roam.counters.splits, splits + 1);
  EXPECT_EQ(roam.counters.forceSplits, 0u);
  EXPECT_EQ(border->LeftChild()->rightNeighbour, nullptr);
  EXPECT_EQ(border->RightChild()->leftNeighbour, nullptr);
  ASSERT_EQ(roam.Check(), "");
  // The right child's hypotenuse is the leg it shares with the other level-1 triangle, a leaf.
  RoamNode* inner = border->RightChild();
  RoamNode* coarser = inner->baseNeighbour;
  ASSERT_NE(coarser, nullptr);
  ASSERT_NE(coarser->baseNeighbour, inner);
  ASSERT_TRUE(coarser->IsLeaf());
  SplitDiamondOf(tree, inner);
  EXPECT_EQ(roam.counters.forceSplits, 1u);
  EXPECT_EQ(roam.counters.splits, splits + 3);  // inner, coarser and coarser's partner
  EXPECT_TRUE(coarser->IsSplit());
  EXPECT_TRUE(inner->IsSplit());
  EXPECT_EQ(roam.Check(), "");
}

// Splitting ever deeper at one point forces splits several levels up at once.
TEST(RoamTreeTest, ForcedSplitsCascadeTowardsCoarserLevels) {
  RoamTreeOnTerrain roam(RandomErrorTerrain(5, 3, 0.001f));
  roam.Start(roam.EyeAbove(0.5f, 0.5f, 1.0f));
  uint64_t longestCascade = 0;
  int depth = 0;
  for (;;) {
    RoamNode* leaf = LeafContaining(roam, 0.3f, 0.2f);
    ASSERT_NE(leaf, nullptr);
    if (leaf->splitVertex == -1) break;
    const uint64_t before = roam.counters.forceSplits;
    SplitDiamondOf(roam.tree, leaf);
    longestCascade = std::max(longestCascade, roam.counters.forceSplits - before);
    ASSERT_EQ(roam.Check(), "") << "split " << depth;
    ++depth;
  }
  EXPECT_EQ(depth, 2 * 5) << "the point's leaf reached the finest level";
  EXPECT_GE(longestCascade, 2u);
}

TEST(RoamTreeTest, MergingEverythingReturnsToTheTopDiamond) {
  RoamTreeOnTerrain roam(RandomErrorTerrain(3, 5, 0.001f));
  RoamTree& tree = roam.tree;
  roam.Start(roam.EyeAbove(0.5f, 0.5f, 1.0f));
  for (int i = 0; i < 40 && tree.splitQueue().Size() > 0; ++i) SplitDiamondOf(tree, FiledIn(tree.splitQueue()).front());
  ASSERT_GT(tree.pool().PairsInUse(), 10);
  ASSERT_EQ(roam.Check(), "");
  uint64_t merges = 0;
  while (tree.mergeQueue().Size() > 0) {
    MergeFiled(tree, FiledIn(tree.mergeQueue()).front());
    ++merges;
    ASSERT_EQ(roam.Check(), "") << "merge " << merges;
  }
  EXPECT_EQ(roam.counters.merges, merges);
  EXPECT_EQ(CollectLeaves(tree).size(), 2u);
  EXPECT_EQ(tree.pool().PairsInUse(), 2);
  EXPECT_EQ(tree.splitQueue().Size(), 1);
}

// Arbitrary sequences of splits and merges, whatever the distances, keep every invariant.
TEST(RoamTreeTest, RandomSplitsAndMergesKeepEveryInvariant) {
  struct Case {
    int n;
    int operations;
    int checkEvery;
  };
  for (const Case c : {Case{1, 200, 1}, Case{2, 1000, 1}, Case{4, 3000, 1}, Case{8, 4000, 50}}) {
    SCOPED_TRACE("side " + std::to_string((1 << c.n) + 1));
    RoamTreeOnTerrain roam(RandomErrorTerrain(c.n, 11, 0.001f));
    RoamTree& tree = roam.tree;
    roam.Start(roam.EyeAbove(0.5f, 0.5f, 1.0f));
    std::mt19937 random(c.n);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int op = 0; op < c.operations; ++op) {
      // Lean towards splitting early and towards merging late, so the mesh grows and shrinks.
      const bool split = unit(random) < (op < c.operations / 2 ? 0.7 : 0.35);
      const std::vector<RoamNode*> candidates = FiledIn(split ? tree.splitQueue() : tree.mergeQueue());
      if (candidates.empty()) continue;
      RoamNode* t = candidates[std::uniform_int_distribution<size_t>(0, candidates.size() - 1)(random)];
      if (split)
        SplitDiamondOf(tree, t);
      else
        MergeFiled(tree, t);
      if (op % c.checkEvery == 0) {
        ASSERT_EQ(roam.Check(), "") << "after operation " << op;
      }
    }
    ASSERT_EQ(roam.Check(), "");
    EXPECT_GT(roam.counters.merges, 0u);
    if (c.n >= 2) {
      EXPECT_GT(roam.counters.forceSplits, 0u);  // side 3 has only border triangles
    }
  }
}

// Sets member to broken, expects the checker to report it, and sets it back.
template <class T>
void ExpectCaught(const RoamTreeOnTerrain& roam, T& member, T broken, const char* what) {
  const T saved = member;
  member = broken;
  EXPECT_NE(roam.Check(), "") << what;
  member = saved;
  ASSERT_EQ(roam.Check(), "") << "after undoing " << what;
}

// The checker is worth only what it catches: each breakage below must be reported, and the tree
// must pass again once it is undone.
TEST(RoamTreeTest, TheInvariantCheckerCatchesBrokenLinksKeysQueuesAndPairs) {
  RoamTreeOnTerrain roam(RandomErrorTerrain(4, 5, 0.001f));
  RoamTree& tree = roam.tree;
  roam.Start(roam.EyeAbove(0.5f, 0.5f, 1.0f));
  for (int i = 0; i < 60; ++i) {
    const std::vector<RoamNode*> filed = FiledIn(tree.splitQueue());
    SplitDiamondOf(tree, filed[static_cast<size_t>(i * 7) % filed.size()]);
  }
  ASSERT_EQ(roam.Check(), "");
  const auto leaves = CollectLeaves(tree);
  RoamNode* leaf = const_cast<RoamNode*>(leaves[leaves.size() / 2].node);
  RoamNode* other = const_cast<RoamNode*>(leaves[leaves.size() / 3].node);
  ExpectCaught<RoamNode*>(roam, leaf->leftNeighbour, other, "a wrong leg neighbour");
  ExpectCaught<RoamNode*>(roam, leaf->baseNeighbour, nullptr, "a missing base neighbour");
  ExpectCaught<RoamNode*>(roam, Top(tree, 0)->baseNeighbour, nullptr, "a split diamond whose partner forgets it");
  ExpectCaught(roam, leaf->leftCorner, leaf->rightCorner, "a moved corner: the leaves no longer tile the square");
  RoamNode* filed = FiledIn(tree.splitQueue()).front();
  ExpectCaught(roam, filed->key, kNotQueued, "a filed node that claims to be unfiled");
  ExpectCaught(roam, filed->key, filed->key + 0.5f, "a key changed behind the queue's back (the wrong bucket)");
  RoamNode* unfiled = Top(tree, 0)->key == kNotQueued ? Top(tree, 0) : Top(tree, 1);
  ExpectCaught(roam, unfiled->key, 0.5f, "an unfiled node that claims a key");

  // A leaf diamond filed by both halves.
  const auto unfiledHalf = std::find_if(leaves.begin(), leaves.end(), [](const TreeLeaf<RoamNode>& l) {
    const RoamNode* t = l.node;
    return t->key == kNotQueued && t->splitVertex != -1 && t->baseNeighbour != nullptr && t->baseNeighbour->baseNeighbour == t;
  });
  ASSERT_NE(unfiledHalf, leaves.end());
  RoamNode* half = const_cast<RoamNode*>(unfiledHalf->node);
  tree.splitQueue().Insert(half, 1.0f);
  EXPECT_NE(roam.Check(), "");
  ASSERT_TRUE(tree.splitQueue().Remove(half));
  half->key = kNotQueued;
  ASSERT_EQ(roam.Check(), "");

  // A mergeable diamond missing from the merge queue.
  RoamNode* mergeable = FiledIn(tree.mergeQueue()).front();
  ASSERT_TRUE(tree.mergeQueue().Remove(mergeable));
  mergeable->key = kNotQueued;
  EXPECT_NE(roam.Check(), "");
  tree.mergeQueue().Insert(mergeable, 1.0f);
  ASSERT_EQ(roam.Check(), "");

  // A pair lost from the tree.
  ASSERT_TRUE(tree.pool().Reserve(1));
  void* lost = tree.pool().Take();
  EXPECT_NE(roam.Check(), "");
  tree.pool().Give(lost);
  EXPECT_EQ(roam.Check(), "");
}

}  // namespace

#include "cabtt/cabtt_refine.h"

#include <gtest/gtest.h>

#include <map>

#include "app/camera.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "support/cabtt_invariants.h"
#include "support/cabtt_test_fixture.h"
#include "support/test_terrain.h"

namespace {

using CabttRefineTest = CabttTest;

#define EXPECT_SOUND() \
  EXPECT_TRUE(CabttInvariantViolations(cache_).empty()) << Describe(CabttInvariantViolations(cache_))

// Flat terrain with every error 0 except those a test sets, so that each split is chosen.
class ChosenErrorTest : public CabttTest {
 protected:
  ChosenErrorTest() { n_ = 4; }
  void SetUp() override {
    CabttTest::SetUp();
    InstallFlatTerrain(n_);
  }
  FakeAggregationBuilder* Prepare(int level) {
    AggregationLevel = level;
    FakeAggregationBuilder* builder = InstallFakeBuilder(level, true);
    builder->ClearErrors();
    return builder;
  }
  VertexId At(int x, int y) const { return CurrentHeightField->Id(x, y); }
};

TEST_F(ChosenErrorTest, ALeafWithACoarserBaseNeighbourForcesItsSplitFirst) {
  FakeAggregationBuilder* builder = Prepare(0);
  builder->SetError(At(8, 8), 10.0f);  // the top diamond
  builder->SetError(At(0, 8), 10.0f);  // root 0's child on the x = 0 border
  builder->SetError(At(4, 4), 10.0f);  // its grandchild over (0, 0)-(8, 8), whose base is root 1's child
  Cameras[0].eye = {0.5f, 0.5f, 1.0f};
  ActivateCabtt();
  Frame(Cameras[0].eye);
  EXPECT_EQ(CabttCounters.splits, 4u);
  EXPECT_EQ(CabttCounters.forceSplits, 1u);
  // Root 1's child on the y = 0 border was split by force although its own error is 0.
  AggregateTriangle* forced = CabttRoots[1].Top()->RightChild();
  EXPECT_EQ(forced->splitVertex, At(8, 0));
  EXPECT_FALSE(forced->IsLeaf());
  EXPECT_TRUE(CabttRoots[1].Top()->LeftChild()->IsLeaf());
  EXPECT_SOUND();
  EXPECT_TRUE(CabttUnsettledEntries().empty());
}

TEST_F(ChosenErrorTest, ABorderLeafIsSplitAlone) {
  FakeAggregationBuilder* builder = Prepare(0);
  builder->SetError(At(8, 8), 10.0f);
  builder->SetError(At(8, 16), 10.0f);  // root 0's child on the y = N border
  Cameras[0].eye = {0.5f, 0.9f, 0.3f};
  ActivateCabtt();
  Frame(Cameras[0].eye);
  EXPECT_EQ(CabttCounters.splits, 2u);
  EXPECT_EQ(CabttCounters.forceSplits, 0u);
  AggregateTriangle* border = CabttRoots[0].Top()->RightChild();
  ASSERT_FALSE(border->IsLeaf());
  EXPECT_EQ(border->baseNeighbour, nullptr);
  EXPECT_EQ(border->LeftChild()->rightNeighbour, nullptr);
  EXPECT_EQ(border->RightChild()->leftNeighbour, nullptr);
  EXPECT_SOUND();
}

TEST_F(ChosenErrorTest, ADistanceEqualToTheErrorNeitherSplitsNorMerges) {
  // Eye over the centre of the flat terrain; from (0.6875, 0.5, 0.25) the centre is exactly
  // 0.3125 away.
  Prepare(1)->SetError(At(8, 8), 0.3125f);
  const Point3 far = {0.5f, 0.5f, 0.5f}, near = {0.5f, 0.5f, 0.125f}, edge = {0.6875f, 0.5f, 0.25f};
  Cameras[0].eye = far;
  ActivateCabtt();
  Frame(far);
  Frame(edge);
  EXPECT_EQ(CabttCounters.splitTests, 1u);
  EXPECT_EQ(CabttCounters.splits, 0u);
  Frame(near);
  EXPECT_EQ(CabttCounters.splits, 1u);
  Frame(edge);
  EXPECT_EQ(CabttCounters.mergeTests, 1u);
  EXPECT_EQ(CabttCounters.merges, 0u);
  EXPECT_FALSE(CabttRoots[0].Top()->IsLeaf());
  Frame(far);
  EXPECT_EQ(CabttCounters.merges, 1u);
  EXPECT_SOUND();
}

TEST_F(ChosenErrorTest, TheFirstFrameSplitsTheTopExactlyWhenItsDistanceIsBelowItsError) {
  for (const float error : {0.49f, 0.51f}) {
    ResetCabttState();
    Prepare(1)->SetError(At(8, 8), error);
    Cameras[0].eye = {0.5f, 0.5f, 0.5f};
    ActivateCabtt();
    Frame(Cameras[0].eye);  // the clock has not moved since activation
    // Farther than its error, the top's key lies above the clock: not even tested.
    EXPECT_EQ(CabttCounters.splitTests, error > 0.5f ? 1u : 0u) << error;
    EXPECT_EQ(CabttCounters.splits, error > 0.5f ? 1u : 0u) << error;
    DestroyCabtt();
  }
}

TEST_F(CabttRefineTest, AtRestFramesAfterTheFirstTestNothing) {
  Start(1);
  const Point3 eye = {0.3f, 0.6f, 0.04f};
  Frame(eye);
  ASSERT_GT(CabttCounters.splits, 10u);
  const CabttCounterSet after = CabttCounters;
  for (int i = 0; i < 5; ++i) Frame(eye, 0.3f * static_cast<float>(i));
  EXPECT_EQ(CabttCounters.splitTests, after.splitTests);
  EXPECT_EQ(CabttCounters.mergeTests, after.mergeTests);
  EXPECT_TRUE(CabttUnsettledEntries().empty());
}

TEST_F(CabttRefineTest, TheClockRebasesOnTheFirstStepAbove1024AndNotAt1024) {
  Cameras[0].eye = {0.5f, 0.5f, 0.05f};
  Start(2);
  Frame(Cameras[0].eye);
  // Far away everything merges back; every key is then far above the clock.
  Frame({2048.0f, 0.5f, 0.05f});
  const float travel = CabttTravel;
  Frame({2048.5f, 0.5f, 0.05f});
  EXPECT_EQ(CabttTravel, travel + 0.5f);
  ASSERT_EQ(CabttTravel, 1024.0f);
  std::map<AggregateTriangle*, float> keys;
  for (const CabttQueue* queue : {&CabttSplitQueue, &CabttMergeQueue}) {
    for (const auto& [key, node] : queue->AllEntries()) keys[node] = key;
  }
  ASSERT_FALSE(keys.empty());
  const CabttCounterSet before = CabttCounters;
  Frame({2048.75f, 0.5f, 0.05f});
  EXPECT_EQ(CabttTravel, 1024.25f - 2048.0f);
  EXPECT_EQ(CabttCounters.splitTests, before.splitTests);
  EXPECT_EQ(CabttCounters.mergeTests, before.mergeTests);
  for (const auto& [node, key] : keys) EXPECT_EQ(node->key, key - 2048.0f);
  EXPECT_SOUND();
}

}  // namespace

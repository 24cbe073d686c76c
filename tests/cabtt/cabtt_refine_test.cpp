// Refinement with chosen errors on a flat terrain, the clock and its rebase, the ordered queue, and
// a queue that has lost an entry.
#include <gtest/gtest.h>

#include <deque>
#include <limits>
#include <map>
#include <vector>

#include "cabtt/cabtt_queue.h"
#include "cabtt_world.h"
#include "support/bintree_invariants.h"

namespace {

struct ChosenError {
  int x;
  int y;
  float error;
};

// Flat terrain (17 x 17) with every aggregate error 0 but those a test sets, so that each split is
// chosen.
class ChosenErrorTest : public CabttTest {
 protected:
  ChosenErrorTest() : CabttTest(4, true) {}

  // Activates at the level with the chosen errors and camera 0 at eye; the counters start at 0.
  void StartWith(int level, const std::vector<ChosenError>& errors, Point3 eye) {
    Start(level, true, eye);
    Fake().ClearErrors();
    for (const ChosenError& e : errors) Fake().SetError(Id(e.x, e.y), e.error);
    const Status rebuilt = method_->Rebuild(level, true, View(eye));  // files the top under the chosen error
    ASSERT_TRUE(rebuilt.ok());
    method_->ResetStats();
  }
  const MethodCounters& counters() { return method_->Counters(); }
};

TEST_F(ChosenErrorTest, ALeafWithACoarserBaseNeighbourForcesItsSplitFirst) {
  // The top diamond, root 0's child on the x = 0 border, and its grandchild over (0, 0)-(8, 8),
  // whose base neighbour is root 1's child on the y = 0 border.
  const Point3 eye = {0.5f, 0.5f, 1.0f};
  StartWith(0, {{8, 8, 10.0f}, {0, 8, 10.0f}, {4, 4, 10.0f}}, eye);
  Frame(eye);
  EXPECT_EQ(counters().splits, 4u);
  EXPECT_EQ(counters().forceSplits, 1u);
  // Root 1's child on the y = 0 border was split by force although its own error is 0.
  const CabttNode* forced = method_->tree().root(1).Top()->RightChild();
  EXPECT_EQ(forced->splitVertex, Id(8, 0));
  EXPECT_TRUE(forced->IsSplit());
  EXPECT_TRUE(method_->tree().root(1).Top()->LeftChild()->IsLeaf());
  EXPECT_EQ(Check(), "");
  EXPECT_EQ(CheckSettled(method_->tree()), "");
}

TEST_F(ChosenErrorTest, ADistanceEqualToTheErrorNeitherSplitsNorMerges) {
  // From edge the centre of the flat terrain is exactly 0.3125 away.
  const Point3 far = {0.5f, 0.5f, 0.5f}, near = {0.5f, 0.5f, 0.125f}, edge = {0.6875f, 0.5f, 0.25f};
  StartWith(1, {{8, 8, 0.3125f}}, far);
  Frame(far);
  Frame(edge);
  EXPECT_EQ(counters().splitTests, 1u);
  EXPECT_EQ(counters().splits, 0u);
  Frame(near);
  EXPECT_EQ(counters().splits, 1u);
  Frame(edge);
  EXPECT_EQ(counters().mergeTests, 1u);
  EXPECT_EQ(counters().merges, 0u);
  EXPECT_TRUE(method_->tree().root(0).Top()->IsSplit());
  Frame(far);
  EXPECT_EQ(counters().merges, 1u);
  EXPECT_EQ(Check(), "");
}

TEST_F(ChosenErrorTest, TheFirstFrameSplitsTheTopExactlyWhenItsDistanceIsBelowItsError) {
  const Point3 eye = {0.5f, 0.5f, 0.5f};
  for (const float error : {0.49f, 0.51f}) {
    StartWith(1, {{8, 8, error}}, eye);
    Frame(eye);  // the clock has not moved since activation
    // Farther than its error, the top's key lies above the clock: it is not even tested.
    EXPECT_EQ(counters().splitTests, error > 0.5f ? 1u : 0u) << error;
    EXPECT_EQ(counters().splits, error > 0.5f ? 1u : 0u) << error;
    method_->Deactivate();
  }
}

using CabttRefineTest = CabttTest;

TEST_F(CabttRefineTest, AtRestFramesAfterTheFirstTestNothing) {
  const Point3 eye = {0.3f, 0.6f, 0.04f};
  Start(1, true, eye);
  Frame(eye);
  ASSERT_GT(method_->Counters().splits, 10u);
  const MethodCounters after = method_->Counters();
  for (int i = 0; i < 5; ++i) Frame(eye, 0.3f * static_cast<float>(i));
  EXPECT_EQ(method_->Counters().splitTests, after.splitTests);
  EXPECT_EQ(method_->Counters().mergeTests, after.mergeTests);
  EXPECT_EQ(CheckSettled(method_->tree()), "");
}

TEST_F(CabttRefineTest, TheClockRebasesOnTheFirstStepAbove1024AndNotAt1024) {
  const CabttTree& tree = method_->tree();
  Start(2, true, {0.5f, 0.5f, 0.05f});
  Frame({0.5f, 0.5f, 0.05f});
  // Far away everything merges back; every key is then far above the clock.
  Frame({2048.0f, 0.5f, 0.05f});
  const float travel = tree.policy.Travel();
  Frame({2048.5f, 0.5f, 0.05f});
  EXPECT_EQ(tree.policy.Travel(), travel + 0.5f);
  ASSERT_EQ(tree.policy.Travel(), 1024.0f);
  std::map<const CabttNode*, float> keys;
  for (const CabttQueue* queue : {&tree.splitQueue(), &tree.mergeQueue()})
    for (const auto& [key, node] : queue->AllEntries()) keys[node] = key;
  ASSERT_FALSE(keys.empty());
  const MethodCounters before = method_->Counters();
  Frame({2048.75f, 0.5f, 0.05f});
  EXPECT_EQ(tree.policy.Travel(), 1024.25f - 2048.0f);
  EXPECT_EQ(method_->Counters().splitTests, before.splitTests);
  EXPECT_EQ(method_->Counters().mergeTests, before.mergeTests);
  for (const auto& [node, key] : keys) EXPECT_EQ(node->key, key - 2048.0f);
  EXPECT_EQ(Check(), "");
}

// A removal that finds no entry is an internal inconsistency: the frame fails with it, and the
// program is to end in order with status 3.
TEST_F(CabttRefineTest, ALostQueueEntryFailsTheFrame) {
  Start(2);
  CabttNode* top = method_->tree().root(0).Top();
  ASSERT_TRUE(method_->tree().splitQueue().Remove(top));  // the top keeps its key but loses its entry
  method_->tree().Split(top, true);
  const Status drawn = method_->Draw(View({0.5f, 0.5f, 0.05f}), stats_);
  ASSERT_FALSE(drawn.ok());
  const Failure& failure = drawn.failure();
  EXPECT_EQ(failure.message.rfind("CABTT split queue has no entry for node 0x", 0), 0u) << failure.message;
  EXPECT_NE(failure.message.find("(split vertex " + std::to_string(top->splitVertex) + ", key "), std::string::npos)
      << failure.message;
  EXPECT_EQ(failure.message.back(), '\n');
  EXPECT_EQ(failure.channel, Channel::kErrorAndLog);
  EXPECT_EQ(failure.exitStatus, 3);
  EXPECT_TRUE(failure.quitOrderly);
}

TEST(CabttQueueTest, OrdersByKeyWithEqualKeysInInsertionOrderAndRebasesWithoutReordering) {
  std::deque<CabttNode> nodes(6);
  CabttQueue queue("test");
  const float keys[] = {2.0f, 1.0f, 2.0f, -3.5f, 2.0f, 1100.0f};
  for (size_t i = 0; i < nodes.size(); ++i) queue.Insert(&nodes[i], keys[i]);
  EXPECT_EQ(nodes[5].key, 1100.0f);  // the node keeps its key
  EXPECT_EQ(queue.PopBelow(-3.5f), nullptr);  // only keys strictly below the threshold come out
  // Removal finds the node among equal keys, and only under its own key.
  EXPECT_TRUE(queue.Remove(&nodes[2]));
  EXPECT_FALSE(queue.Remove(&nodes[2]));
  nodes[4].key = 6.0f;
  EXPECT_FALSE(queue.Remove(&nodes[4]));
  nodes[4].key = 2.0f;
  queue.Rebase(2048.0f);
  EXPECT_EQ(nodes[3].key, -2051.5f);
  EXPECT_EQ(nodes[5].key, 1100.0f - 2048.0f);
  std::vector<const CabttNode*> order;
  while (CabttNode* node = queue.PopBelow(std::numeric_limits<float>::infinity())) order.push_back(node);
  EXPECT_EQ(order, (std::vector<const CabttNode*>{&nodes[3], &nodes[1], &nodes[0], &nodes[4], &nodes[5]}));
  EXPECT_TRUE(queue.Empty());
}

}  // namespace

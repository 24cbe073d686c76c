// The invariant checker must notice each kind of damage the flights are meant to catch.
#include <gtest/gtest.h>

#include <functional>

#include "cabtt/cabtt_state.h"
#include "support/cabtt_invariants.h"
#include "support/cabtt_test_fixture.h"

namespace {

class CabttInvariantCheckerTest : public CabttTest {
 protected:
  void SetUp() override {
    CabttTest::SetUp();
    Start(1, true, FakeErrors::kRandom, 3);
    Frame({0.4f, 0.45f, 0.03f}, 0.5f);
    Frame({0.42f, 0.46f, 0.03f}, 0.6f);
    ASSERT_TRUE(CabttInvariantViolations(cache_).empty()) << Describe(CabttInvariantViolations(cache_));
    Collect(CabttRoots[0].Top());
    Collect(CabttRoots[1].Top());
    ASSERT_GT(leaves_.size(), 20u);
  }

  void Collect(AggregateTriangle* t) {
    if (t->IsLeaf()) {
      leaves_.push_back(t);
      return;
    }
    interior_.push_back(t);
    Collect(t->LeftChild());
    Collect(t->RightChild());
  }

  AggregateTriangle* FindLeaf(const std::function<bool(AggregateTriangle*)>& wanted) {
    for (AggregateTriangle* leaf : leaves_) {
      if (wanted(leaf)) return leaf;
    }
    return nullptr;
  }

  bool Violated() { return !CabttInvariantViolations(cache_).empty(); }

  std::vector<AggregateTriangle*> leaves_;
  std::vector<AggregateTriangle*> interior_;
};

TEST_F(CabttInvariantCheckerTest, NoticesABrokenNeighbourLink) {
  AggregateTriangle* leaf = FindLeaf([](AggregateTriangle* t) { return t->leftNeighbour != nullptr; });
  ASSERT_NE(leaf, nullptr);
  AggregateTriangle* saved = leaf->leftNeighbour;
  leaf->leftNeighbour = leaf->rightNeighbour != nullptr ? leaf->rightNeighbour : leaf;
  EXPECT_TRUE(Violated());
  leaf->leftNeighbour = saved;
  AggregateTriangle* base = leaf->baseNeighbour;
  leaf->baseNeighbour = nullptr;
  EXPECT_TRUE(Violated());
  leaf->baseNeighbour = base;
  EXPECT_FALSE(Violated());
}

TEST_F(CabttInvariantCheckerTest, NoticesQueueDamage) {
  AggregateTriangle* filed = CabttSplitQueue.AllEntries().begin()->second;
  CabttSplitQueue.Insert(filed);  // filed twice
  EXPECT_TRUE(Violated());
  ASSERT_TRUE(CabttSplitQueue.Remove(filed));
  EXPECT_FALSE(Violated());
  ASSERT_TRUE(CabttSplitQueue.Remove(filed));  // not filed at all
  EXPECT_TRUE(Violated());
  CabttSplitQueue.Insert(filed);
  const float key = filed->key;
  filed->key = key + 1.0f;  // key changed behind the queue's back
  EXPECT_TRUE(Violated());
  filed->key = key;
  AggregateTriangle* unqueued = FindLeaf([](AggregateTriangle* t) { return t->key == NotQueued; });
  ASSERT_NE(unqueued, nullptr);
  unqueued->key = 0.0f;  // keyed but not filed
  EXPECT_TRUE(Violated());
  unqueued->key = NotQueued;
  EXPECT_FALSE(Violated());
}

TEST_F(CabttInvariantCheckerTest, NoticesALeakedOrLostBlock) {
  CacheVertex* vertices;
  uint16_t* indices;
  cache_->BeginBlock(&vertices, &indices);
  const BlockHandle stray = cache_->EndBlock(0, 0);
  EXPECT_TRUE(Violated());
  cache_->ReleaseBlock(stray);
  EXPECT_FALSE(Violated());
  AggregateTriangle* holder = FindLeaf([](AggregateTriangle* t) { return t->block != kNoBlock; });
  ASSERT_NE(holder, nullptr);
  const auto block = cache_->live.find(holder->block);
  const auto saved = *block;
  cache_->live.erase(block);
  EXPECT_TRUE(Violated());
  cache_->live.insert(saved);
  EXPECT_FALSE(Violated());
}

TEST_F(CabttInvariantCheckerTest, NoticesANonConformingTree) {
  AggregateTriangle* split = nullptr;
  for (AggregateTriangle* t : interior_) {
    if (t->baseNeighbour != nullptr) split = t;
  }
  ASSERT_NE(split, nullptr);
  AggregateTriangle* partner = split->baseNeighbour;
  split->baseNeighbour = split->LeftChild();
  EXPECT_TRUE(Violated());
  split->baseNeighbour = partner;
  EXPECT_FALSE(Violated());
}

}  // namespace

#include "cabtt/cabtt_queue.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace {

class CabttQueueTest : public ::testing::Test {
 protected:
  AggregateTriangle* Node(float key) {
    nodes_.push_back(AggregateTriangle{});
    nodes_.back().key = key;
    return &nodes_.back();
  }
  std::vector<AggregateTriangle*> Drain() {
    std::vector<AggregateTriangle*> order;
    while (!queue_.Empty()) order.push_back(queue_.PopFirst());
    return order;
  }

  std::deque<AggregateTriangle> nodes_;
  CabttQueue queue_{"test queue"};
};

TEST_F(CabttQueueTest, OrdersByKeyAndKeepsInsertionOrderAmongEqualKeys) {
  AggregateTriangle* a = Node(2.0f);
  AggregateTriangle* b = Node(1.0f);
  AggregateTriangle* c = Node(2.0f);
  AggregateTriangle* d = Node(-3.5f);
  AggregateTriangle* e = Node(2.0f);
  for (AggregateTriangle* node : {a, b, c, d, e}) queue_.Insert(node);
  EXPECT_EQ(queue_.FirstKey(), -3.5f);
  EXPECT_EQ(Drain(), (std::vector<AggregateTriangle*>{d, b, a, c, e}));
}

TEST_F(CabttQueueTest, RemovesTheGivenNodeAmongEqualKeysOnly) {
  AggregateTriangle* a = Node(5.0f);
  AggregateTriangle* b = Node(5.0f);
  AggregateTriangle* c = Node(5.0f);
  for (AggregateTriangle* node : {a, b, c}) queue_.Insert(node);
  EXPECT_TRUE(queue_.Remove(b));
  EXPECT_FALSE(queue_.Remove(b));
  // A node whose key no longer matches its entry is not found either.
  c->key = 6.0f;
  EXPECT_FALSE(queue_.Remove(c));
  c->key = 5.0f;
  EXPECT_EQ(Drain(), (std::vector<AggregateTriangle*>{a, c}));
}

TEST_F(CabttQueueTest, RebaseMovesEveryKeyWithoutReordering) {
  AggregateTriangle* a = Node(1100.0f);
  AggregateTriangle* b = Node(1030.25f);
  AggregateTriangle* c = Node(1100.0f);
  AggregateTriangle* d = Node(-7.0f);
  for (AggregateTriangle* node : {a, b, c, d}) queue_.Insert(node);
  queue_.Rebase(2048.0f);
  EXPECT_EQ(a->key, 1100.0f - 2048.0f);
  EXPECT_EQ(b->key, 1030.25f - 2048.0f);
  EXPECT_EQ(d->key, -2055.0f);
  EXPECT_EQ(queue_.FirstKey(), -2055.0f);
  EXPECT_TRUE(queue_.Remove(c));  // still filed under its own, moved key
  queue_.Insert(c);
  EXPECT_EQ(Drain(), (std::vector<AggregateTriangle*>{d, b, a, c}));
}

}  // namespace

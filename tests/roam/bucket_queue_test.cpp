#include "roam/bucket_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <random>
#include <vector>

#include "roam/roam_node.h"

namespace {

constexpr float kBucket = 1.0f / 8192.0f;

class BucketQueueTest : public ::testing::Test {
 protected:
  RoamNode* NewTriangle() {
    triangles_.emplace_back();
    triangles_.back().key = kNotQueued;
    return &triangles_.back();
  }
  RoamNode* Filed(float key) {
    RoamNode* t = NewTriangle();
    queue_.Insert(t, key);
    return t;
  }
  int BucketHolding(const RoamNode* t) const {
    int found = -1;
    queue_.ForEachEntry([&](int bucket, const RoamNode* e) {
      if (e == t) found = bucket;
    });
    return found;
  }

  BucketQueue queue_{"test"};
  std::deque<RoamNode> triangles_;
};

TEST_F(BucketQueueTest, PopBelowIsStrict) {
  queue_.Initialise(0.0f);
  const float t = 0.5f + 0.25f * kBucket;  // inside the bucket that starts at 0.5
  RoamNode* equal = Filed(t);
  RoamNode* below = Filed(0.5f);
  RoamNode* above = Filed(t + 0.1f * kBucket);
  EXPECT_EQ(queue_.PopBelow(t), below);
  EXPECT_EQ(queue_.PopBelow(t), nullptr);
  EXPECT_EQ(queue_.Size(), 2);
  EXPECT_EQ(BucketHolding(equal), queue_.CurrentBucket());
  EXPECT_EQ(BucketHolding(above), queue_.CurrentBucket());
  EXPECT_EQ(queue_.Base(), 0.5f);
}

// The base walks up to the threshold through an empty queue too; a base left behind would file
// the next keys in the overflow and later hand one out above its threshold.
TEST_F(BucketQueueTest, AnEmptyQueueYieldsNothingAndWalksTheBaseToTheThreshold) {
  queue_.Initialise(0.0f);
  for (float t : {-100.0f, 0.0f, 1.0f, 2.0f}) EXPECT_EQ(queue_.PopBelow(t), nullptr);
  EXPECT_EQ(queue_.PopBelow(5.0f), nullptr);
  EXPECT_GT(queue_.Base(), 5.0f - kBucket);
  EXPECT_LE(queue_.Base(), 5.0f);
  RoamNode* later = Filed(5.05f);
  EXPECT_NE(BucketHolding(later), BucketQueue::kOverflowBucket);
  EXPECT_EQ(queue_.PopBelow(5.0f), nullptr);
  EXPECT_EQ(queue_.PopBelow(5.1f), later);
  for (float t : {1e9f, INFINITY}) EXPECT_EQ(queue_.PopBelow(t), nullptr);
}

// Remove finds an entry by its key however far the base has moved since it was filed: one still
// waiting in the overflow although its key now maps into the ring, and a tiny negative key filed
// next to a bucket edge (subtracting the base in float would round it onto the next bucket).
TEST_F(BucketQueueTest, RemoveFindsAnEntryAfterTheBaseMoved) {
  queue_.Initialise(0.0f);
  RoamNode* late = Filed(2.5f);
  ASSERT_EQ(BucketHolding(late), BucketQueue::kOverflowBucket);
  EXPECT_EQ(queue_.PopBelow(1.2f), nullptr);
  ASSERT_NE(queue_.BucketOf(late->key), BucketQueue::kOverflowBucket);
  ASSERT_EQ(BucketHolding(late), BucketQueue::kOverflowBucket);
  EXPECT_TRUE(queue_.Remove(late));
  EXPECT_EQ(late->key, 2.5f);

  queue_.Initialise(-1.0f);
  RoamNode* t = Filed(-std::ldexp(1.0f, -26));
  EXPECT_EQ(BucketHolding(t), 8191);
  EXPECT_EQ(queue_.PopBelow(-kBucket + std::ldexp(1.0f, -20)), nullptr);
  EXPECT_EQ(queue_.Base(), -kBucket);
  EXPECT_TRUE(queue_.Remove(t));
  EXPECT_EQ(queue_.Size(), 0);
}

// A threshold far beyond the ring: the walk skips whole laps, and still hands out only keys below
// the threshold.
TEST_F(BucketQueueTest, ThresholdBeyondTheRingHandsOutOnlyKeysBelowIt) {
  queue_.Initialise(0.0f);
  RoamNode* far = Filed(1.0e6f);
  RoamNode* nearer = Filed(1.0e4f);
  EXPECT_EQ(queue_.PopBelow(1.0e5f), nearer);
  EXPECT_EQ(queue_.PopBelow(1.0e5f), nullptr);
  EXPECT_EQ(queue_.PopBelow(2.0e6f), far);
  // A key that can never come within reach is not waited for.
  RoamNode* never = Filed(INFINITY);
  EXPECT_EQ(queue_.PopBelow(3.0e6f), nullptr);
  EXPECT_TRUE(queue_.Remove(never));
  EXPECT_EQ(queue_.Size(), 0);
}

// Random operations against a plain model: PopBelow returns only keys below the threshold,
// leaves none below it once it returns nothing, and Remove always finds a filed entry. Now and
// then the queue is emptied and the clock runs on for a while before keys come again.
TEST_F(BucketQueueTest, RandomOperationsAgreeWithAModel) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  queue_.Initialise(-8.0f);
  std::map<RoamNode*, float> model;
  float clock = -8.0f;
  size_t mostFiled = 0;
  for (int round = 0; round < 3000; ++round) {
    const bool quiet = round % 100 < 10;
    if (round % 100 == 0) {
      for (const auto& [t, key] : model) ASSERT_TRUE(queue_.Remove(t));
      model.clear();
    }
    const int inserts = quiet ? 0 : static_cast<int>(unit(random) * 20);
    for (int i = 0; i < inserts; ++i) {
      // Mostly near keys, some far in the overflow, some already due.
      const float r = unit(random);
      const float key = r < 0.1f ? clock - unit(random) : r < 0.85f ? clock + 2.2f * unit(random) : clock + 2.0f + 6.0f * unit(random);
      model[Filed(key)] = key;
      mostFiled = std::max(mostFiled, model.size());
    }
    const int removes = static_cast<int>(unit(random) * 6);
    for (int i = 0; i < removes && !model.empty(); ++i) {
      auto it = model.begin();
      std::advance(it, static_cast<int>(unit(random) * model.size()) % model.size());
      ASSERT_TRUE(queue_.Remove(it->first)) << "round " << round;
      model.erase(it);
    }
    clock += quiet ? 0.5f : unit(random) < 0.05f ? 2.0f + 3.0f * unit(random) : 0.05f * unit(random);
    if (clock > 8.0f) {
      clock -= 8.0f;
      queue_.Rebase(8.0f);
      for (auto& [t, key] : model) {
        key -= 8.0f;
        ASSERT_EQ(t->key, key);
      }
    }
    while (RoamNode* t = queue_.PopBelow(clock)) {
      ASSERT_EQ(model.count(t), 1u);
      ASSERT_LT(model[t], clock);
      model.erase(t);
    }
    for (const auto& [t, key] : model) ASSERT_GE(key, clock) << "round " << round;
    ASSERT_EQ(queue_.Size(), static_cast<int>(model.size()));
    // Every slot ever made is filed or free again, so the slots stay within the largest filing.
    ASSERT_EQ(queue_.Size() + queue_.FreeEntrySlots(), queue_.EntrySlots()) << "round " << round;
    ASSERT_LE(queue_.EntrySlots(), static_cast<int>(mostFiled)) << "round " << round;
  }
  const int slots = queue_.EntrySlots();
  queue_.Clear();
  EXPECT_EQ(queue_.EntrySlots(), 0);
  EXPECT_GE(queue_.EntryCapacity(), static_cast<std::size_t>(slots)) << "Clear keeps the storage";
}

// A removal that finds nothing leaves the queue as it was and says so; the queue names the
// failure, which ends the program orderly with status 3.
TEST_F(BucketQueueTest, RemovingAMissingEntryFailsAndNamesTheInconsistency) {
  queue_.Initialise(0.0f);
  RoamNode* filed = Filed(0.5f);
  RoamNode* stranger = NewTriangle();
  stranger->key = 0.5f;
  EXPECT_FALSE(queue_.Remove(stranger));
  EXPECT_EQ(queue_.Size(), 1);
  // Found once, then gone.
  EXPECT_TRUE(queue_.Remove(filed));
  EXPECT_FALSE(queue_.Remove(filed));
  EXPECT_EQ(queue_.Size(), 0);
  EXPECT_EQ(queue_.Size() + queue_.FreeEntrySlots(), queue_.EntrySlots());
  const Failure failure = queue_.Missing(stranger);
  EXPECT_EQ(failure.message, "Internal inconsistency: a triangle is missing from the test queue\n");
  EXPECT_EQ(failure.channel, Channel::kErrorAndLog);
  EXPECT_EQ(failure.exitStatus, 3);
  EXPECT_TRUE(failure.quitOrderly);
}

}  // namespace

#include "bintree/pair_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "roam/roam_node.h"

namespace {

constexpr std::size_t kPairBytes = sizeof(RoamPair);
constexpr int kFirst = PairPool::kFirstBlockPairs;

void* RefuseEverything(std::size_t) { return nullptr; }

// Takes count more pairs into taken, filling each with the byte of its place there, so that an
// overlap would show.
void TakeFilled(PairPool& pool, int count, std::vector<void*>& taken) {
  for (int i = 0; i < count; ++i) {
    void* pair = pool.Take();
    std::memset(pair, static_cast<unsigned char>(taken.size()), kPairBytes);
    taken.push_back(pair);
  }
}

TEST(PairPoolTest, ReservationsGrowBlocksByHalfOfTheBlockThatFilled) {
  PairPool pool(kPairBytes);
  EXPECT_EQ(pool.BlockCount(), 0);
  EXPECT_TRUE(pool.Reserve(0));
  EXPECT_EQ(pool.BlockCount(), 0) << "nothing to reserve needs no block";
  ASSERT_TRUE(pool.Reserve(2));
  EXPECT_EQ(pool.NewestBlockPairs(), kFirst);
  std::vector<void*> taken;
  TakeFilled(pool, kFirst - 60, taken);
  // Exactly the rest of the block fits without a new one; one more does not.
  ASSERT_TRUE(pool.Reserve(60));
  EXPECT_EQ(pool.BlockCount(), 1);
  ASSERT_TRUE(pool.Reserve(61));
  EXPECT_EQ(pool.BlockCount(), 2);
  EXPECT_EQ(pool.NewestBlockPairs(), kFirst + kFirst / 2);
  EXPECT_EQ(pool.CapacityPairs(), kFirst + kFirst + kFirst / 2);
  // A reservation larger than the next growth gets a block of its own size.
  TakeFilled(pool, kFirst + kFirst / 2, taken);
  ASSERT_TRUE(pool.Reserve(100000));
  EXPECT_EQ(pool.NewestBlockPairs(), 100000);
  ASSERT_TRUE(pool.Reserve(1));
  EXPECT_EQ(pool.BlockCount(), 3);

  EXPECT_EQ(pool.PairsInUse(), static_cast<std::ptrdiff_t>(taken.size()));
  EXPECT_EQ(pool.CarvedPairs(), pool.PairsInUse());
  // Pairs are aligned for a pair, and none was overwritten by another.
  for (size_t i = 0; i < taken.size(); ++i) {
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(taken[i]) % alignof(RoamPair), 0u);
    const auto* bytes = static_cast<const unsigned char*>(taken[i]);
    for (std::size_t b = 0; b < kPairBytes; ++b)
      ASSERT_EQ(bytes[b], static_cast<unsigned char>(i)) << "pair " << i << " overlaps another";
  }
}

TEST(PairPoolTest, GivenPairsComeBackLastInFirstOutBeforeAnyCarving) {
  PairPool pool(kPairBytes);
  ASSERT_TRUE(pool.Reserve(kFirst));
  std::vector<void*> pairs;
  TakeFilled(pool, kFirst, pairs);
  pool.Give(pairs[10]);
  pool.Give(pairs[20]);
  pool.Give(pairs[30]);
  // Given-back pairs are free, not uncarved: nothing is lost between the two.
  EXPECT_EQ(pool.FreePairs(), 3);
  EXPECT_EQ(pool.CarvedPairs(), kFirst);
  EXPECT_EQ(pool.PairsInUse() + pool.FreePairs(), pool.CarvedPairs());
  // The block is carved out, but the free pairs cover a reservation of three.
  ASSERT_TRUE(pool.Reserve(3));
  EXPECT_EQ(pool.BlockCount(), 1);
  EXPECT_EQ(pool.Take(), pairs[30]);
  EXPECT_EQ(pool.Take(), pairs[20]);
  EXPECT_EQ(pool.Take(), pairs[10]);
  for (void* pair : pairs) pool.Give(pair);
  EXPECT_EQ(pool.PairsInUse(), 0);
  ASSERT_TRUE(pool.Reserve(kFirst));
  EXPECT_EQ(pool.BlockCount(), 1) << "a full block given back covers the same reservation";
}

TEST(PairPoolTest, ARefusedBlockChangesNothingAndSaysItsSize) {
  PairPool pool(kPairBytes, RefuseEverything);
  EXPECT_FALSE(pool.Reserve(1));
  EXPECT_EQ(pool.failedPairs(), kFirst);
  EXPECT_EQ(pool.BlockCount(), 0);

  pool.SetAllocator(std::malloc);
  ASSERT_TRUE(pool.Reserve(1));
  std::vector<void*> taken;
  TakeFilled(pool, kFirst - 5, taken);
  pool.SetAllocator(RefuseEverything);
  EXPECT_TRUE(pool.Reserve(5)) << "room left in the block needs no allocation";
  EXPECT_FALSE(pool.Reserve(6));
  EXPECT_EQ(pool.failedPairs(), kFirst + kFirst / 2);
  EXPECT_EQ(pool.BlockCount(), 1);
  EXPECT_EQ(pool.CapacityPairs(), kFirst);
  EXPECT_EQ(pool.PairsInUse(), kFirst - 5);
  // The room that was there is still there.
  for (int i = 0; i < 5; ++i) pool.Take();
  EXPECT_EQ(pool.CarvedPairs(), kFirst);
}

}  // namespace

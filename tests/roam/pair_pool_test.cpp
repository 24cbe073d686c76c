#include "roam/pair_pool.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "roam/bintree.h"

namespace {

TEST(PairPoolTest, BlocksGrowByHalfOfTheBlockThatFilled) {
  PairPool pool;
  pool.Activate();
  EXPECT_EQ(pool.BlockCount(), 1);
  EXPECT_EQ(pool.NewestBlockPairs(), 16384);
  std::set<TrianglePair*> taken;
  for (int i = 0; i < 16384; ++i) taken.insert(pool.Take());
  EXPECT_EQ(pool.BlockCount(), 1);
  taken.insert(pool.Take());
  EXPECT_EQ(pool.BlockCount(), 2);
  EXPECT_EQ(pool.NewestBlockPairs(), 16384 + 8192);
  for (int i = 1; i < 24576; ++i) taken.insert(pool.Take());
  EXPECT_EQ(pool.BlockCount(), 2);
  taken.insert(pool.Take());
  EXPECT_EQ(pool.NewestBlockPairs(), 24576 + 12288);
  EXPECT_EQ(taken.size(), 16384u + 24576u + 1u);
  EXPECT_EQ(pool.PairsInUse(), static_cast<std::ptrdiff_t>(taken.size()));
  EXPECT_EQ(pool.CarvedPairs(), static_cast<std::ptrdiff_t>(taken.size()));
  EXPECT_EQ(pool.CapacityPairs(), 16384 + 24576 + 36864);
  // No two pairs overlap.
  TrianglePair* previous = nullptr;
  for (TrianglePair* pair : taken) {
    if (previous != nullptr) {
      EXPECT_GE(reinterpret_cast<char*>(pair) - reinterpret_cast<char*>(previous), static_cast<std::ptrdiff_t>(sizeof(TrianglePair)));
    }
    previous = pair;
  }
}

TEST(PairPoolTest, FreedPairsComeBackLastInFirstOutBeforeAnyNewCarving) {
  PairPool pool;
  pool.Activate();
  std::vector<TrianglePair*> pairs;
  for (int i = 0; i < 16384; ++i) pairs.push_back(pool.Take());
  pool.Give(pairs[10]);
  pool.Give(pairs[20]);
  pool.Give(pairs[30]);
  // Given-back pairs are free, not uncarved: nothing is lost between the two.
  EXPECT_EQ(pool.FreePairs(), 3);
  EXPECT_EQ(pool.CarvedPairs(), 16384);
  EXPECT_EQ(pool.PairsInUse() + pool.FreePairs(), pool.CarvedPairs());
  EXPECT_EQ(pool.Take(), pairs[30]);
  EXPECT_EQ(pool.Take(), pairs[20]);
  EXPECT_EQ(pool.Take(), pairs[10]);
  EXPECT_EQ(pool.BlockCount(), 1);
  // A full block given back and taken again needs no new block.
  for (TrianglePair* pair : pairs) pool.Give(pair);
  EXPECT_EQ(pool.PairsInUse(), 0);
  for (int i = 0; i < 16384; ++i) pool.Take();
  EXPECT_EQ(pool.BlockCount(), 1);
}

TEST(PairPoolTest, ReleaseAllReturnsEveryBlockAndTheFreeList) {
  PairPool pool;
  pool.Activate();
  for (int i = 0; i < 20000; ++i) pool.Take();
  TrianglePair* given = pool.Take();
  pool.Give(given);
  pool.ReleaseAll();
  EXPECT_EQ(pool.BlockCount(), 0);
  EXPECT_EQ(pool.PairsInUse(), 0);
  EXPECT_EQ(pool.FreePairs(), 0);
  EXPECT_EQ(pool.CapacityPairs(), 0);
  pool.Activate();
  EXPECT_EQ(pool.BlockCount(), 1);
  EXPECT_EQ(pool.NewestBlockPairs(), 16384);
  // The old free list is gone: the next pair is carved from the new block.
  TrianglePair* fresh = pool.Take();
  TrianglePair* second = pool.Take();
  EXPECT_EQ(reinterpret_cast<char*>(second) - reinterpret_cast<char*>(fresh), static_cast<std::ptrdiff_t>(sizeof(TrianglePair)));
}

}  // namespace

#pragma once
#include <cstddef>

struct TrianglePair;

// Source of all TrianglePairs: large blocks from the heap, carved in order and recycled
// through a LIFO free list, so that a split or merge never touches the general heap.
class PairPool {
 public:
  static constexpr int kFirstBlockPairs = 16384;

  PairPool() = default;
  ~PairPool();
  PairPool(const PairPool&) = delete;
  PairPool& operator=(const PairPool&) = delete;

  // Gets the first block; called at activation.
  void Activate();
  TrianglePair* Take();
  void Give(TrianglePair* pair);
  // Returns every block at once and empties the free list.
  void ReleaseAll();

  int BlockCount() const;
  // Room for pairs in the newest block, 0 without blocks.
  int NewestBlockPairs() const;
  // Pairs taken and not given back.
  std::ptrdiff_t PairsInUse() const { return inUse_; }
  // Room for pairs in all blocks together.
  std::ptrdiff_t CapacityPairs() const;
  // Pairs handed out at least once since the blocks were got; each is in use or free.
  std::ptrdiff_t CarvedPairs() const;
  // Pairs on the free list (walks it).
  std::ptrdiff_t FreePairs() const;

 private:
  struct BlockHeader;
  void AddBlock(int pairs);
  static std::ptrdiff_t PairsIn(BlockHeader* block);

  BlockHeader* newest_ = nullptr;
  TrianglePair* freeList_ = nullptr;
  std::ptrdiff_t inUse_ = 0;
};

#pragma once
#include <cstddef>
#include <cstdlib>

// Source of a bintree's child pairs: large blocks from the heap, carved in order and recycled
// through a last-in first-out free list, so that a split or a merge never touches the general
// heap. Pairs are raw storage of a fixed size; the tree constructs its pairs in them. The first
// block holds kFirstBlockPairs; each later one half as many again as the block before.
class PairPool {
 public:
  static constexpr int kFirstBlockPairs = 16384;

  // Where blocks come from: memory that free() accepts, or null when the heap refuses.
  using Allocator = void* (*)(std::size_t bytes);

  // pairBytes: the size of one pair, a multiple of the alignment of a pointer.
  explicit PairPool(std::size_t pairBytes, Allocator allocate = std::malloc)
      : pairBytes_(pairBytes), allocate_(allocate) {}
  ~PairPool();
  PairPool(const PairPool&) = delete;
  PairPool& operator=(const PairPool&) = delete;

  // Makes sure the next `pairs` Takes succeed without touching the heap; false (nothing changed)
  // when a block is needed and the heap refuses it. failedPairs() then says its size.
  bool Reserve(int pairs);
  // A pair's storage; the room must have been reserved.
  void* Take();
  void Give(void* pair);
  // Returns every block at once and empties the free list.
  void ReleaseAll();
  // The allocator of the blocks to come (tests refuse the heap with it).
  void SetAllocator(Allocator allocate) { allocate_ = allocate; }

  int failedPairs() const { return failedPairs_; }
  int BlockCount() const;
  // Room for pairs in the newest block, 0 without blocks.
  int NewestBlockPairs() const;
  // Pairs taken and not given back.
  std::ptrdiff_t PairsInUse() const { return inUse_; }
  // Room for pairs in all blocks together.
  std::ptrdiff_t CapacityPairs() const;
  // Pairs handed out at least once since the blocks were got; each is in use or free.
  std::ptrdiff_t CarvedPairs() const { return carved_; }
  // Pairs on the free list (walks it).
  std::ptrdiff_t FreePairs() const;

 private:
  struct BlockHeader;
  bool AddBlock(int pairs);
  std::ptrdiff_t PairsIn(const BlockHeader* block) const;
  std::ptrdiff_t UncarvedPairs() const;

  std::size_t pairBytes_;
  Allocator allocate_;
  BlockHeader* newest_ = nullptr;
  void* freeList_ = nullptr;
  std::ptrdiff_t inUse_ = 0;
  std::ptrdiff_t carved_ = 0;
  int failedPairs_ = 0;
};

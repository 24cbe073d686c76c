#include "roam/pair_pool.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/fatal.h"
#include "roam/bintree.h"

// A block is this header followed directly by its pairs.
struct PairPool::BlockHeader {
  BlockHeader* older;
  char* end;
  char* next;  // next position not yet carved
};

namespace {

char* FirstPair(void* header, std::size_t headerSize) { return static_cast<char*>(header) + headerSize; }

// The free list runs through the first word of each free pair (see Give).
TrianglePair* NextFree(const TrianglePair* pair) {
  TrianglePair* next;
  std::memcpy(&next, static_cast<const void*>(pair), sizeof next);
  return next;
}

}  // namespace

PairPool::~PairPool() { ReleaseAll(); }

void PairPool::AddBlock(int pairs) {
  static_assert(sizeof(BlockHeader) % alignof(TrianglePair) == 0);
  const std::size_t bytes = sizeof(BlockHeader) + static_cast<std::size_t>(pairs) * sizeof(TrianglePair);
  void* memory = std::malloc(bytes);
  if (memory == nullptr) {
    std::printf("Out of memory for %d bintree triangle pairs\n", pairs);
    FatalExit(2);
  }
  auto* header = new (memory) BlockHeader;
  header->older = newest_;
  header->next = FirstPair(memory, sizeof(BlockHeader));
  header->end = header->next + static_cast<std::size_t>(pairs) * sizeof(TrianglePair);
  newest_ = header;
}

void PairPool::Activate() {
  if (newest_ == nullptr) AddBlock(kFirstBlockPairs);
}

TrianglePair* PairPool::Take() {
  ++inUse_;
  if (freeList_ != nullptr) {
    TrianglePair* pair = freeList_;
    freeList_ = NextFree(pair);
    return new (pair) TrianglePair;
  }
  if (newest_ == nullptr) {
    AddBlock(kFirstBlockPairs);
  } else if (newest_->next == newest_->end) {
    const int filled = NewestBlockPairs();
    AddBlock(filled + filled / 2);
  }
  char* slot = newest_->next;
  newest_->next += sizeof(TrianglePair);
  return new (slot) TrianglePair;
}

void PairPool::Give(TrianglePair* pair) {
  --inUse_;
  // The free list runs through the first word of each free pair.
  std::memcpy(static_cast<void*>(pair), &freeList_, sizeof freeList_);
  freeList_ = pair;
}

void PairPool::ReleaseAll() {
  while (newest_ != nullptr) {
    BlockHeader* older = newest_->older;
    std::free(newest_);
    newest_ = older;
  }
  freeList_ = nullptr;
  inUse_ = 0;
}

int PairPool::BlockCount() const {
  int count = 0;
  for (const BlockHeader* block = newest_; block != nullptr; block = block->older) ++count;
  return count;
}

std::ptrdiff_t PairPool::PairsIn(BlockHeader* block) {
  const char* first = FirstPair(block, sizeof(BlockHeader));
  return (block->end - first) / static_cast<std::ptrdiff_t>(sizeof(TrianglePair));
}

std::ptrdiff_t PairPool::CapacityPairs() const {
  std::ptrdiff_t pairs = 0;
  for (BlockHeader* block = newest_; block != nullptr; block = block->older) pairs += PairsIn(block);
  return pairs;
}

std::ptrdiff_t PairPool::CarvedPairs() const {
  if (newest_ == nullptr) return 0;
  const std::ptrdiff_t uncarved = (newest_->end - newest_->next) / static_cast<std::ptrdiff_t>(sizeof(TrianglePair));
  return CapacityPairs() - uncarved;
}

std::ptrdiff_t PairPool::FreePairs() const {
  std::ptrdiff_t pairs = 0;
  for (const TrianglePair* pair = freeList_; pair != nullptr; ++pairs) pair = NextFree(pair);
  return pairs;
}

int PairPool::NewestBlockPairs() const { return newest_ == nullptr ? 0 : static_cast<int>(PairsIn(newest_)); }

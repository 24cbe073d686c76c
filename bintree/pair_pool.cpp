#include "bintree/pair_pool.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

// A block is this header followed directly by its pairs.
struct PairPool::BlockHeader {
  BlockHeader* older;
  char* end;
  char* next;  // next position not yet carved
};

namespace {

char* FirstPair(void* header) { return static_cast<char*>(header) + sizeof(void*) * 3; }

// The free list runs through the first word of each free pair.
void* NextFree(const void* pair) {
  void* next;
  std::memcpy(&next, pair, sizeof next);
  return next;
}

}  // namespace

PairPool::~PairPool() { ReleaseAll(); }

bool PairPool::AddBlock(int pairs) {
  static_assert(sizeof(BlockHeader) == sizeof(void*) * 3);
  const std::size_t bytes = sizeof(BlockHeader) + static_cast<std::size_t>(pairs) * pairBytes_;
  void* memory = allocate_(bytes);
  if (memory == nullptr) {
    failedPairs_ = pairs;
    return false;
  }
  auto* header = new (memory) BlockHeader;
  header->older = newest_;
  header->next = FirstPair(memory);
  header->end = header->next + static_cast<std::size_t>(pairs) * pairBytes_;
  newest_ = header;
  return true;
}

bool PairPool::Reserve(int pairs) {
  const std::ptrdiff_t available = (carved_ - inUse_) + UncarvedPairs();
  if (available >= pairs) return true;
  // Half as many again as the block that filled, and never less than the reservation.
  int size = newest_ == nullptr ? kFirstBlockPairs : NewestBlockPairs() + NewestBlockPairs() / 2;
  if (size < pairs) size = pairs;
  return AddBlock(size);
}

void* PairPool::Take() {
  ++inUse_;
  if (freeList_ != nullptr) {
    void* pair = freeList_;
    freeList_ = NextFree(pair);
    return pair;
  }
  assert(newest_ != nullptr && newest_->next != newest_->end && "a Take without a reservation");
  char* slot = newest_->next;
  newest_->next += pairBytes_;
  ++carved_;
  return slot;
}

void PairPool::Give(void* pair) {
  --inUse_;
  std::memcpy(pair, &freeList_, sizeof freeList_);
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
  carved_ = 0;
}

int PairPool::BlockCount() const {
  int count = 0;
  for (const BlockHeader* block = newest_; block != nullptr; block = block->older) ++count;
  return count;
}

std::ptrdiff_t PairPool::PairsIn(const BlockHeader* block) const {
  const char* first = FirstPair(const_cast<BlockHeader*>(block));
  return (block->end - first) / static_cast<std::ptrdiff_t>(pairBytes_);
}

std::ptrdiff_t PairPool::UncarvedPairs() const {
  if (newest_ == nullptr) return 0;
  return (newest_->end - newest_->next) / static_cast<std::ptrdiff_t>(pairBytes_);
}

std::ptrdiff_t PairPool::CapacityPairs() const {
  std::ptrdiff_t pairs = 0;
  for (const BlockHeader* block = newest_; block != nullptr; block = block->older) pairs += PairsIn(block);
  return pairs;
}

std::ptrdiff_t PairPool::FreePairs() const {
  std::ptrdiff_t pairs = 0;
  for (const void* pair = freeList_; pair != nullptr; ++pairs) pair = NextFree(pair);
  return pairs;
}

int PairPool::NewestBlockPairs() const { return newest_ == nullptr ? 0 : static_cast<int>(PairsIn(newest_)); }

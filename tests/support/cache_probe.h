#pragma once
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"

// Read access to a VideoMemoryCache's bookkeeping. List walks stop after as many steps as
// there are blocks, so a cycle shows up as a failed check rather than a hang.
struct VideoMemoryCacheProbe {
  static int BlockCount(const VideoMemoryCache& cache) { return static_cast<int>(cache.blockTable.size()); }
  static int BlockCapacity(const VideoMemoryCache& cache) { return cache.blockCapacity; }
  static int DrawsPerFence(const VideoMemoryCache& cache) { return cache.drawsPerFence; }
  static int RetiredIntervals(const VideoMemoryCache& cache) { return cache.retiredIntervals; }
  static int IntervalCount(const VideoMemoryCache& cache) { return static_cast<int>(cache.intervalQueue.size()); }
  static const void* RangeBase(const VideoMemoryCache& cache) { return cache.rangeBase; }
  static std::vector<int> FreeList(const VideoMemoryCache& cache);
  static std::vector<int> PendingList(const VideoMemoryCache& cache, int position);

  // Every created block is exactly once in live, a pending list or the free list; pending
  // tails end their lists; live stamps name queued intervals; the queue's back is open.
  static ::testing::AssertionResult CheckMembership(const VideoMemoryCache& cache, const std::set<int>& live);
};

// Read access to a SystemMemoryCache's lists.
struct SystemMemoryCacheProbe {
  static std::vector<const StoredBlock*> LiveRecords(const SystemMemoryCache& cache);
  static std::vector<const StoredBlock*> SpareRecords(const SystemMemoryCache& cache);
  static bool Filling(const SystemMemoryCache& cache) { return cache.currentBlock != nullptr; }

  // The live list is exactly the live handles, with consistent prev links and buffers; spare
  // records hold no buffers; no record is on both lists; records + spare = recordsCreated.
  static ::testing::AssertionResult CheckLists(const SystemMemoryCache& cache, const std::set<BlockHandle>& live,
                                               size_t recordsCreated);
};

#pragma once
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "cache/fenced_slots.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"

// Read access to the slot lists of a fenced cache (video memory or buffer storage). List walks
// stop after as many steps as there are slots, so a cycle shows up as a failed check rather than
// a hang.
struct FencedSlotsProbe {
  static int IntervalCount(const FencedSlots& slots) { return static_cast<int>(slots.intervals_.size()); }
  static std::vector<int> FreeList(const FencedSlots& slots);
  static std::vector<int> PendingList(const FencedSlots& slots, int position);

  // Every slot made is exactly once in live, a pending list or the free list; pending tails end
  // their lists; live stamps name queued intervals; the queue's back is open; no more slots than
  // the capacity.
  static ::testing::AssertionResult CheckMembership(const FencedSlots& slots, const std::set<int>& live);
};

// Read access to a VideoMemoryCache's range and slots.
struct VideoMemoryCacheProbe {
  static int BlockCount(const VideoMemoryCache& cache) { return cache.slots().SlotsMade(); }
  static int BlockCapacity(const VideoMemoryCache& cache) { return cache.slots().capacity(); }
  static int IntervalCount(const VideoMemoryCache& cache) { return FencedSlotsProbe::IntervalCount(cache.slots()); }
  static const void* RangeBase(const VideoMemoryCache& cache) { return cache.rangeBase; }
  static ::testing::AssertionResult CheckMembership(const VideoMemoryCache& cache, const std::set<int>& live) {
    return FencedSlotsProbe::CheckMembership(cache.slots(), live);
  }
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

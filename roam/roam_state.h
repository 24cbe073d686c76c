#pragma once
#include <cstdint>

#include "roam/bintree.h"
#include "roam/bucket_queue.h"
#include "roam/pair_pool.h"
#include "terrain/point3.h"

// Work counts of the Standard ROAM method; they outlive deactivation and are cleared only by
// resetting the statistics. 64 bits: they grow without bound between two resets.
struct RoamCounterSet {
  uint64_t mergeTests;
  uint64_t merges;
  uint64_t splitTests;
  uint64_t splits;
  uint64_t forceSplits;
};

extern RoamCounterSet RoamCounters;

// Leaf candidates for splitting and split diamonds whose children are leaves.
extern BucketQueue SplitQueue;
extern BucketQueue MergeQueue;

extern PairPool RoamPairPool;

// The two roots while the method is active, else null.
extern RootRecord* RoamRoots;

// Distance camera 0's eye has travelled, less multiples of 8; the queues' clock.
extern float RoamTravel;
// Camera 0's eye at the last update; the eye that every key is computed from.
extern Point3 RoamPreviousEye;

#pragma once
#include <cstdint>

#include "cabtt/aggregate_triangle.h"
#include "cabtt/cabtt_queue.h"
#include "terrain/point3.h"

// Statistics advanced by refinement and drawing; only ResetCabttStats clears them. 64 bits: they
// grow without bound between two resets.
struct CabttCounterSet {
  uint64_t mergeTests;
  uint64_t merges;
  uint64_t splitTests;
  uint64_t splits;  // forced splits included
  uint64_t forceSplits;
  uint64_t aggregateTrianglesDrawn;
  uint64_t subTrianglesDrawn;  // CABTT's own share of the frame statistics' triangles
};

constexpr int kDefaultAggregationLevel = 4;
constexpr float kCabttTravelStart = -1024.0f;

extern int AggregationLevel;     // L: leaves hold up to 4^L sub-triangles
extern bool AdaptiveAggregation;  // adaptive or uniform aggregation builder
extern float CabttTravel;        // queue clock: distance flown by camera 0's eye
extern Point3 CabttLastEye;      // camera 0's eye at the last refinement step
extern CabttRoot* CabttRoots;    // the two roots while the method is active, else null
extern CabttQueue CabttSplitQueue;
extern CabttQueue CabttMergeQueue;
extern CabttCounterSet CabttCounters;
extern int FrameSubTriangles;  // sub-triangles of the current drawing pass

// Frees any tree (without touching the cache) and puts every CABTT global back to its start
// value (tests).
void ResetCabttState();

#pragma once
#include <cstddef>
#include <ostream>
#include <string>

#include "cabtt/cabtt_tree.h"
#include "roam/roam_tree.h"

// What the two drawing methods' trees hold at one moment: the sizes that a flight flown again
// from the same start must reproduce exactly, and that must all be 0 when neither is active.
struct MethodFootprint {
  long roamPairsInUse = 0;
  long roamPoolPairs = 0;     // pool capacity
  long roamSplitEntries = 0;  // filed
  long roamMergeEntries = 0;
  long roamEntrySlots = 0;  // filed or on the free list, both queues
  long cabttPairsInUse = 0;
  long cabttPoolPairs = 0;
  long cabttSplitEntries = 0;
  long cabttMergeEntries = 0;
  long cabttBlocksHeld = 0;  // leaves holding a cache block

  bool operator==(const MethodFootprint&) const = default;
};

MethodFootprint TakeMethodFootprint(const RoamTree& roam, const CabttTree& cabtt);
std::string Describe(const MethodFootprint& footprint);
inline std::ostream& operator<<(std::ostream& out, const MethodFootprint& footprint) {
  return out << Describe(footprint);
}

// Storage the ROAM queues keep for their entries across activations: it only ever grows, so it
// must stop growing once a flight has been flown once.
std::size_t RoamQueueStorage(const RoamTree& roam);

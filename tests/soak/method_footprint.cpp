#include "soak/method_footprint.h"

#include "support/bintree_invariants.h"

MethodFootprint TakeMethodFootprint(const RoamTree& roam, const CabttTree& cabtt) {
  MethodFootprint f;
  f.roamPairsInUse = roam.pool().PairsInUse();
  f.roamPoolPairs = roam.pool().CapacityPairs();
  f.roamSplitEntries = roam.splitQueue().Size();
  f.roamMergeEntries = roam.mergeQueue().Size();
  f.roamEntrySlots = roam.splitQueue().EntrySlots() + roam.mergeQueue().EntrySlots();
  f.cabttPairsInUse = cabtt.pool().PairsInUse();
  f.cabttPoolPairs = cabtt.pool().CapacityPairs();
  f.cabttSplitEntries = static_cast<long>(cabtt.splitQueue().Size());
  f.cabttMergeEntries = static_cast<long>(cabtt.mergeQueue().Size());
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(cabtt)) f.cabttBlocksHeld += leaf.node->leaf.block != kNoBlock;
  return f;
}

std::string Describe(const MethodFootprint& f) {
  return "ROAM pairs " + std::to_string(f.roamPairsInUse) + " of " + std::to_string(f.roamPoolPairs) + ", entries " +
         std::to_string(f.roamSplitEntries) + " split + " + std::to_string(f.roamMergeEntries) + " merge in " +
         std::to_string(f.roamEntrySlots) + " slots; CABTT pairs " + std::to_string(f.cabttPairsInUse) + " of " +
         std::to_string(f.cabttPoolPairs) + ", entries " + std::to_string(f.cabttSplitEntries) + " split + " +
         std::to_string(f.cabttMergeEntries) + " merge, blocks held " + std::to_string(f.cabttBlocksHeld);
}

std::size_t RoamQueueStorage(const RoamTree& roam) {
  return roam.splitQueue().EntryCapacity() + roam.mergeQueue().EntryCapacity();
}

#include "support/method_footprint.h"

#include "cabtt/cabtt_state.h"
#include "roam/roam_state.h"

namespace {

void CountBelow(const AggregateTriangle* t, MethodFootprint& footprint) {
  if (t->IsLeaf()) {
    footprint.cabttBlocksHeld += t->block != kNoBlock;
    return;
  }
  if (t->children == nullptr) return;  // a root's dummy child
  ++footprint.cabttPairs;
  CountBelow(t->LeftChild(), footprint);
  CountBelow(t->RightChild(), footprint);
}

}  // namespace

MethodFootprint TakeMethodFootprint() {
  MethodFootprint f;
  f.roamPairsInUse = RoamPairPool.PairsInUse();
  f.roamPoolPairs = RoamPairPool.CapacityPairs();
  f.roamSplitEntries = SplitQueue.Size();
  f.roamMergeEntries = MergeQueue.Size();
  f.roamEntrySlots = SplitQueue.EntrySlots() + MergeQueue.EntrySlots();
  if (CabttRoots != nullptr) {
    for (int i = 0; i < 2; ++i) CountBelow(&CabttRoots[i].node, f);
  }
  f.cabttSplitEntries = static_cast<long>(CabttSplitQueue.Size());
  f.cabttMergeEntries = static_cast<long>(CabttMergeQueue.Size());
  return f;
}

std::string Describe(const MethodFootprint& f) {
  return "ROAM pairs " + std::to_string(f.roamPairsInUse) + " of " + std::to_string(f.roamPoolPairs) +
         ", entries " + std::to_string(f.roamSplitEntries) + " split + " + std::to_string(f.roamMergeEntries) +
         " merge in " + std::to_string(f.roamEntrySlots) + " slots; CABTT pairs " + std::to_string(f.cabttPairs) +
         ", entries " + std::to_string(f.cabttSplitEntries) + " split + " + std::to_string(f.cabttMergeEntries) +
         " merge, blocks held " + std::to_string(f.cabttBlocksHeld);
}

std::size_t RoamQueueStorage() { return SplitQueue.EntryCapacity() + MergeQueue.EntryCapacity(); }

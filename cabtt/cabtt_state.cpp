#include "cabtt/cabtt_state.h"

int AggregationLevel = kDefaultAggregationLevel;
bool AdaptiveAggregation = true;
float CabttTravel = kCabttTravelStart;
Point3 CabttLastEye = {0.0f, 0.0f, 0.0f};
CabttRoot* CabttRoots = nullptr;
CabttQueue CabttSplitQueue("split queue");
CabttQueue CabttMergeQueue("merge queue");
CabttCounterSet CabttCounters = {};
int FrameSubTriangles = 0;

namespace {

void FreePairsBelow(AggregatePair* pair) {
  for (AggregateTriangle& node : pair->child) {
    if (!node.IsLeaf() && node.children != nullptr) FreePairsBelow(node.children);
  }
  delete pair;
}

}  // namespace

void ResetCabttState() {
  if (CabttRoots != nullptr) {
    for (int i = 0; i < 2; ++i) FreePairsBelow(CabttRoots[i].node.children);
    delete[] CabttRoots;
    CabttRoots = nullptr;
  }
  CabttSplitQueue.Clear();
  CabttMergeQueue.Clear();
  AggregationLevel = kDefaultAggregationLevel;
  AdaptiveAggregation = true;
  CabttTravel = kCabttTravelStart;
  CabttLastEye = {0.0f, 0.0f, 0.0f};
  CabttCounters = {};
  FrameSubTriangles = 0;
}

#include "roam/roam_state.h"

RoamCounterSet RoamCounters = {};
BucketQueue SplitQueue("split");
BucketQueue MergeQueue("merge");
PairPool RoamPairPool;
RootRecord* RoamRoots = nullptr;
float RoamTravel = -8.0f;
Point3 RoamPreviousEye = {0.0f, 0.0f, 0.0f};

#include "cabtt/cabtt_tree.h"

#include <algorithm>
#include <cstdio>

#include "aggregate/aggregation_builder.h"
#include "app/camera.h"
#include "app/terrain_log.h"
#include "cache/block_limits.h"
#include "cabtt/cabtt_keys.h"
#include "cabtt/cabtt_state.h"

namespace {

struct TopCorners {
  int leftX, leftY, rightX, rightY, apexX, apexY;  // unit-square coordinates
};

// The two top triangles share the diagonal from (0, 0) to (1, 1).
constexpr TopCorners kTopCorners[2] = {{0, 0, 1, 1, 0, 1}, {1, 1, 0, 0, 1, 0}};

VertexId ScaledCorner(int x, int y) {
  const int n = CurrentHeightField->n;
  return CurrentHeightField->Id(x << n, y << n);
}

void InitRoot(CabttRoot& root, const TopCorners& corners) {
  root.node = AggregateTriangle{};
  root.node.leftCorner = kInteriorNode;
  root.node.children = NewAggregatePair();
  root.node.block = kNoBlock;
  root.node.key = NotQueued;
  root.topLeftCorner = ScaledCorner(corners.leftX, corners.leftY);
  root.topRightCorner = ScaledCorner(corners.rightX, corners.rightY);
  root.node.splitVertex = ScaledCorner(corners.apexX, corners.apexY);

  AggregateTriangle* dummy = root.node.RightChild();
  dummy->leftCorner = kInteriorNode;
  dummy->parent = &root.node;

  AggregateTriangle* top = root.Top();
  top->leftCorner = root.topLeftCorner;
  top->rightCorner = root.topRightCorner;
  top->parent = &root.node;
  top->splitVertex = CabttSplitVertex(top->leftCorner, top->rightCorner);
}

void DeletePairsBelow(AggregatePair* pair) {
  for (AggregateTriangle& node : pair->child) {
    if (!node.IsLeaf() && node.children != nullptr) DeletePairsBelow(node.children);
  }
  DeleteAggregatePair(pair);
}

}  // namespace

int ClampAggregationLevel(int level) { return std::clamp(level, 0, CurrentHeightField->n); }

int LevelBlockVertices(int level) {
  const int a = 1 << level;
  return (a + 1) * (a + 2) / 2;
}

bool LevelFitsIndexRange(int level) { return level < 16 && LevelBlockVertices(level) <= kMaxBlockVertices; }

void BuildCabttRoots() {
  CabttRoots = new CabttRoot[2];
  for (int i = 0; i < 2; ++i) {
    InitRoot(CabttRoots[i], kTopCorners[i]);
    AggregateTriangle* top = CabttRoots[i].Top();
    if (i == 0 && top->splitVertex != -1) {
      top->key = CabttSplitKey(top->splitVertex);
      CabttSplitQueue.Insert(top);
    }
  }
  for (int i = 0; i < 2; ++i) {
    CabttRoots[i].node.baseNeighbour = &CabttRoots[1 - i].node;
    CabttRoots[i].Top()->baseNeighbour = CabttRoots[1 - i].Top();
  }
  const int a = 1 << AggregationLevel;
  ActiveCache->Init(LevelBlockVertices(AggregationLevel), 3 * a * a);
}

void DestroyCabtt() {
  CabttSplitQueue.Clear();
  CabttMergeQueue.Clear();
  if (CabttRoots == nullptr) return;
  for (int i = 0; i < 2; ++i) DeletePairsBelow(CabttRoots[i].node.children);
  ActiveCache->Shutdown();
  delete[] CabttRoots;
  CabttRoots = nullptr;
}

void RebuildCabtt(int level, bool adaptive) {
  DestroyCabtt();
  CabttLastEye = Cameras[0].eye;
  AggregationLevel = ClampAggregationLevel(level);
  AdaptiveAggregation = adaptive;
  CabttTravel = kCabttTravelStart;
  SelectAggregationBuilder(AggregationLevel, AdaptiveAggregation);
  BuildCabttRoots();
}

void ActivateCabtt() {
  LogPrintf("Using CABTT drawing method\n");
  std::printf(
      "Using CABTT drawing method\n< and > change the aggregation level\n"
      "/ toggles adaptive aggregate triangles\n");
  // A level chosen on a larger height field may not exist on this one.
  AggregationLevel = ClampAggregationLevel(AggregationLevel);
  CabttLastEye = Cameras[0].eye;
  CabttTravel = kCabttTravelStart;
  SelectAggregationBuilder(AggregationLevel, AdaptiveAggregation);
  BuildCabttRoots();
}

void ActivateCabttUncached() {
  LogAndPrint("Caching disabled\n");
  CreateSystemMemoryCache();
  ActivateCabtt();
}

void ActivateCabttCached() {
  LogAndPrint("nVidia Caching enabled\n");
  CreateVideoMemoryCache();
  ActivateCabtt();
}

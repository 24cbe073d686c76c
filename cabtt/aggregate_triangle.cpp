#include "cabtt/aggregate_triangle.h"

#include <cstdlib>

#include "cabtt/cabtt_state.h"

VertexId CabttSplitVertex(VertexId a, VertexId b) {
  const int step = 1 << AggregationLevel;
  const int diagonal = step + (step << (CurrentHeightField->n + 1));
  const int difference = std::abs(a - b);
  if (difference == diagonal || difference == diagonal - 2 * step) return -1;
  return (a + b) >> 1;
}

AggregatePair* NewAggregatePair() {
  AggregatePair* pair = new AggregatePair;
  for (AggregateTriangle& node : pair->child) {
    node = AggregateTriangle{};
    node.block = kNoBlock;
    node.splitVertex = -1;
    node.key = NotQueued;
  }
  return pair;
}

void DeleteAggregatePair(AggregatePair* pair) {
  for (AggregateTriangle& node : pair->child) {
    if (node.IsLeaf() && node.block != kNoBlock) ActiveCache->ReleaseBlock(node.block);
  }
  delete pair;
}

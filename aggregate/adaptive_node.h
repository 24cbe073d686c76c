#pragma once
#include <cstdint>

#include "terrain/height_field.h"

// One triangle of an adaptive build's refinement tree. Links are positions in the builder's
// node array; -1 means none.
struct AdaptiveNode {
  VertexId leftCorner;      // -1 once split
  int32_t rightOrChildren;  // right corner while a leaf; position of the left child once split
  VertexId apex;
  int32_t leftIndex;  // block vertex indices of the corners (only when vertices are written)
  int32_t rightIndex;
  int32_t apexIndex;
  int32_t leftNeighbour;   // across apex-left
  int32_t rightNeighbour;  // across apex-right
  int32_t baseNeighbour;   // across the hypotenuse
  VertexId splitVertex;    // -1 when the hypotenuse is one cell's diagonal
  float priority;

  bool IsSplit() const { return leftCorner < 0; }
  int LeftChild() const { return rightOrChildren; }
  int RightChild() const { return rightOrChildren + 1; }
};
static_assert(sizeof(AdaptiveNode) == 44);

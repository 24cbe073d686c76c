#pragma once
#include <cstdint>

#include "terrain/height_field.h"

struct TrianglePair;

// Key of a triangle that no queue holds.
constexpr float kUnfiledKey = -65536.0f;

// One triangle of the ROAM bintree. The apex is not stored: it is the parent's split vertex.
// Corners (apex, left, right) run counter-clockwise seen from above.
struct BintreeTriangle {
  VertexId leftCorner;  // -1 once split: the split marker
  union {
    VertexId rightCorner;    // while a leaf
    TrianglePair* children;  // once split (null for a root's placeholder)
  };
  BintreeTriangle* parent;
  BintreeTriangle* leftNeighbour;   // across apex - left corner
  BintreeTriangle* rightNeighbour;  // across apex - right corner
  BintreeTriangle* baseNeighbour;   // across the hypotenuse
  VertexId splitVertex;             // midpoint of the hypotenuse, -1 at the finest level
  float key;                        // kUnfiledKey while in neither queue

  bool IsSplit() const { return leftCorner < 0; }
  bool IsLeaf() const { return leftCorner >= 0; }
};

// The two children of a split triangle, allocated and freed as one unit.
struct TrianglePair {
  BintreeTriangle left;
  BintreeTriangle right;
};

// Parent of a base triangle. Its pair holds the base triangle and a placeholder that is
// permanently split, so a root never qualifies for merging.
struct RootRecord {
  BintreeTriangle triangle;
  VertexId leftCorner;  // the base triangle's corners, where the drawing traversal starts
  VertexId rightCorner;
};

// Split vertex of the hypotenuse a-b of the current height field: the packed mean, or -1
// when a-b is the diagonal of a single grid cell.
VertexId SplitVertexOf(VertexId a, VertexId b);

// Builds RoamRoots: two roots with their base triangles, linked as one diamond across the
// square's diagonal; base triangle 0 is filed in the SplitQueue.
void CreateRoots();

// Gives every pair below both roots back to the pool and frees the root array.
void FreeRoots();

// Splits leaf t (which has a split vertex), force-splitting a coarser base neighbour first.
// forced is false when the per-frame loop took t from the SplitQueue.
void Split(BintreeTriangle* t, bool forced);

// Merges split triangle t (taken from the MergeQueue) and its base neighbour back into leaves.
void Merge(BintreeTriangle* t);

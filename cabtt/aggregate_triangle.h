#pragma once
#include "cache/geometry_cache.h"
#include "terrain/height_field.h"

// Key of a node that neither CABTT queue holds.
constexpr float NotQueued = -65536.0f;

// Interior marker in a node's first corner field.
constexpr VertexId kInteriorNode = -1;

struct AggregatePair;

// One node of the CABTT bintree. A leaf is drawn as one cached block of sub-triangles.
struct AggregateTriangle {
  VertexId leftCorner;             // first end of the hypotenuse; kInteriorNode once split
  VertexId rightCorner;            // second end of the hypotenuse (leaf only)
  AggregatePair* children;         // interior only; null for a root's dummy child
  BlockHandle block;               // cached sub-triangles of a leaf, kNoBlock when none
  int subTriangles;                // sub-triangles in that block
  AggregateTriangle* parent;
  AggregateTriangle* leftNeighbour;   // across apex - left corner
  AggregateTriangle* rightNeighbour;  // across right corner - apex
  AggregateTriangle* baseNeighbour;   // across the hypotenuse
  VertexId splitVertex;            // -1 at the finest aggregate size
  float key;                       // key in the queue that holds the node, else NotQueued

  bool IsLeaf() const { return leftCorner >= 0; }
  // The apex is never stored: it is the split vertex of the parent.
  VertexId Apex() const { return parent->splitVertex; }
  AggregateTriangle* LeftChild() const;
  AggregateTriangle* RightChild() const;
};

// Children are made and freed together.
struct AggregatePair {
  AggregateTriangle child[2];
};

inline AggregateTriangle* AggregateTriangle::LeftChild() const { return &children->child[0]; }
inline AggregateTriangle* AggregateTriangle::RightChild() const { return &children->child[1]; }

// Holder of one of the two top triangles. Its second child is a dummy that never becomes a
// leaf, so the root never looks mergeable.
struct CabttRoot {
  AggregateTriangle node;
  VertexId topLeftCorner;
  VertexId topRightCorner;

  AggregateTriangle* Top() const { return node.LeftChild(); }
};

// Midpoint of the hypotenuse (a, b), or -1 when it is the diagonal of one 2^L x 2^L cell
// (L = AggregationLevel).
VertexId CabttSplitVertex(VertexId a, VertexId b);

// A fresh pair of leaves with no links, no block and no queue entry.
AggregatePair* NewAggregatePair();

// Frees both nodes; a leaf still holding a cache block gives it back first.
void DeleteAggregatePair(AggregatePair* pair);

#pragma once
#include <string>
#include <vector>

#include "roam/bintree.h"

// A leaf of the active ROAM tree with the corners the drawing traversal derives for it.
struct RoamLeaf {
  const BintreeTriangle* triangle;
  VertexId apex;
  VertexId left;
  VertexId right;
  int depth;  // 0 for a base triangle
};

// The leaves of both trees, root 0 first, each tree left child before right child.
std::vector<RoamLeaf> CollectRoamLeaves();

// Walks both trees, both queues and the pool of the active ROAM method. Empty when everything
// holds, else a description of the first violation:
// - roots, placeholders, parents, split vertices and leaf corners as built;
// - the leaves tile the square without T-junctions and every neighbour link names the leaf
//   across that edge (none on the border); split diamonds are mutual;
// - every splittable leaf diamond (or lone splittable leaf) is filed once in the SplitQueue,
//   every mergeable split diamond once in the MergeQueue, nothing else is filed, no triangle
//   in both, and the key is -65536.0 exactly for the unfiled;
// - every ring entry sits in the bucket of its key, and every entry slot is filed or free;
// - the pool holds exactly the tree's pairs, and every pair it has handed out is in use or free.
std::string CheckRoamInvariants();

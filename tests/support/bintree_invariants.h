#pragma once
#include <string>
#include <vector>

#include "cabtt/cabtt_tree.h"
#include "roam/roam_tree.h"
#include "terrain/height_field.h"

// A leaf of a drawing method's tree with the corners the drawing traversal derives for it.
template <class Node>
struct TreeLeaf {
  const Node* node;
  VertexId apex;
  VertexId left;
  VertexId right;
  int depth;  // 0 for a top triangle
};

// The leaves of both trees, root 0 first, each tree left child before right child.
std::vector<TreeLeaf<RoamNode>> CollectLeaves(const RoamTree& tree);
std::vector<TreeLeaf<CabttNode>> CollectLeaves(const CabttTree& tree);

// Walks both trees, both queues and the pool of a started tree. Empty when every invariant of
// the bintree holds (bintree/bintree.h), else a description of the first violation:
// - roots, placeholders, parents, split vertices (worked out from the grid for the tree's finest
//   size) and leaf corners as built;
// - the leaves tile the square without T-junctions and every neighbour link names the leaf across
//   that edge (none on the border); split diamonds are mutual;
// - every splittable leaf diamond (or lone splittable leaf) is filed once in the split queue,
//   every mergeable split diamond once in the merge queue, nothing else is filed, no node is in
//   both, and the key is kNotQueued exactly for the unfiled;
// - each queue's own storage is sound (Standard ROAM: every ring entry in the bucket of its key,
//   every entry slot filed or free; CABTT: every entry under its node's key);
// - the pool holds exactly the tree's pairs, and every pair it has handed out is in use or free.
std::string CheckTreeInvariants(const RoamTree& tree, const HeightField& field);
std::string CheckTreeInvariants(const CabttTree& tree, const HeightField& field);

// Empty when no queue entry has a key below the clock (a refinement left nothing to test), else
// the first entry that has.
std::string CheckSettled(const RoamTree& tree);
std::string CheckSettled(const CabttTree& tree);

#pragma once
#include "terrain/height_field.h"

// Key of a node that neither queue of its tree holds.
constexpr float kNotQueued = -65536.0f;

template <class Leaf>
struct NodePair;

// One triangle of a split/merge bintree over the height grid, named by its hypotenuse corners
// (left, right); its apex is not stored but is always its parent's split vertex, and (apex, left,
// right) run counter-clockwise seen from above. Leaf carries what a leaf of the drawing method
// holds (nothing for Standard ROAM, its cached block for CABTT).
template <class Leaf>
struct BintreeNode {
  using Pair = NodePair<Leaf>;

  VertexId leftCorner;       // -1 once split: the marker every test reads
  VertexId rightCorner;      // while a leaf
  Pair* children;            // once split; null for a root's placeholder
  BintreeNode* parent;
  BintreeNode* leftNeighbour;   // across the edge apex - left corner
  BintreeNode* rightNeighbour;  // across the edge apex - right corner
  BintreeNode* baseNeighbour;   // across the hypotenuse
  VertexId splitVertex;         // midpoint of the hypotenuse, -1 at the finest size
  float key;                    // key in the queue that holds it, else kNotQueued
  [[no_unique_address]] Leaf leaf;

  bool IsLeaf() const { return leftCorner >= 0; }
  bool IsSplit() const { return leftCorner < 0; }
  VertexId Apex() const { return parent->splitVertex; }
  BintreeNode* LeftChild() const;
  BintreeNode* RightChild() const;
};

// The two children of a split node, made and freed together: the left child (apex M; left: the
// parent's apex, right: the parent's left corner), then the right child (apex M; left: the
// parent's right corner, right: the parent's apex), M being the parent's split vertex.
template <class Leaf>
struct NodePair {
  BintreeNode<Leaf> left;
  BintreeNode<Leaf> right;
};

template <class Leaf>
BintreeNode<Leaf>* BintreeNode<Leaf>::LeftChild() const {
  return &children->left;
}
template <class Leaf>
BintreeNode<Leaf>* BintreeNode<Leaf>::RightChild() const {
  return &children->right;
}

// The parent of one of the two top triangles, which share the square's diagonal. Its pair holds
// the top triangle and a placeholder that is split for good (with no children), so a root never
// qualifies for merging; its split vertex is the top triangle's apex.
template <class Leaf>
struct BintreeRoot {
  BintreeNode<Leaf> node;
  VertexId topLeftCorner;  // the top triangle's corners, where the drawing traversal starts
  VertexId topRightCorner;

  BintreeNode<Leaf>* Top() const { return node.LeftChild(); }
};

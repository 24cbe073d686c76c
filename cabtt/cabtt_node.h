#pragma once
#include "bintree/bintree_node.h"
#include "cache/geometry_cache.h"

// What a CABTT leaf carries: the cache block that holds its sub-triangles, built the first time
// the leaf is drawn and kept until it is split, merged away or culled.
struct CachedBlock {
  BlockHandle block = kNoBlock;
  int subTriangles = 0;  // in that block, while it is held
};

using CabttNode = BintreeNode<CachedBlock>;
using CabttPair = NodePair<CachedBlock>;
using CabttRoot = BintreeRoot<CachedBlock>;
